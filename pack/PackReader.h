#pragma once
#include <optional>
#include <string>

#include "pack/PackArchive.h"

namespace tarvex {

// Reads the pack file into the catalogue and returns what is known
// about the file. Every read is bounds-checked against the file length; every
// failure is reported through prompt and leaves the catalogue as it was.
// A table that cannot be made a tree (a loop, a range past its end) is
// refused; entries without a folder and folders listed twice are mended
// (PackRepairs: such entries are shown in a top-level folder of their own,
// msg::kOrphanFolderName, numbered "2" and on should the pack hold a folder of
// that name), told as one warning, and the rest opens.
std::optional<PackState> ReadPack(const std::shared_ptr<HeldPack>& file, Catalogue& catalogue, IPrompt& prompt);

}  // namespace tarvex
