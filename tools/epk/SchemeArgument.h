#pragma once
// The scheme named on epk's command line.
#include <cstdint>
#include <optional>
#include <string>

#include "archive/Catalogue.h"

namespace tarvex::epk {

// "none", "rle" or "lz"; reports an unknown name and gives nothing.
std::optional<uint8_t> ParseSchemeArgument(const std::string& name, Catalogue& catalogue);

}  // namespace tarvex::epk
