#pragma once
#include <optional>
#include <string>

#include "archive/PackArchive.h"

namespace tarvex {

// Reads the pack file at path into the catalogue and returns what is known
// about the file. Every read is bounds-checked against the file length; every
// failure is reported through prompt and leaves the catalogue as it was.
std::optional<PackState> ReadPack(const std::string& path, Catalogue& catalogue, IPrompt& prompt);

}  // namespace tarvex
