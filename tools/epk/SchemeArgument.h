#pragma once
// The scheme named on epk's command line: "none", "rle", "lz", or the file
// name of an encoder module in the plugins folder beside epk ("MODULE.edl").
#include <cstdint>
#include <optional>
#include <string>

#include "catalogue/Catalogue.h"
#include "schemes/PluginHost.h"

namespace tarvex::epk {

// The scheme code the name stands for; reports why and gives nothing when it
// names no usable scheme. A module must pass the checks every encoder module
// passes; it is entered into the catalogue's plug-in table (a slot of the
// same provider name and version is reused).
std::optional<uint8_t> ParseSchemeArgument(const std::string& name, Catalogue& catalogue,
                                           const PluginHost& plugins = PluginHost());

// Whether the name is meant as a module (it ends in ".edl"): a module that
// cannot be used is a failure, any other unknown name a usage error.
bool NamesModule(const std::string& name);

}  // namespace tarvex::epk
