#pragma once
#include <optional>
#include <string>

#include "pack/PackArchive.h"

namespace tarvex {

// Writes the catalogue as a pack file at target with keys; `current` describes
// the pack on disk that carried-over entries are read from. Returns what is
// known about the new file, or nothing after a reported failure, in which
// case the file at target and the catalogue are as they were.
std::optional<PackState> WritePack(const std::string& target, const KeySchedule& keys, Catalogue& catalogue,
                                   const PackState& current, ISchemeCoder& coder, IPrompt& prompt,
                                   const StoreOptions& options);

}  // namespace tarvex
