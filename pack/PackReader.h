#pragma once
#include <optional>
#include <string>

#include "pack/PackArchive.h"

namespace tarvex {

// The top-level folder (UTF-8) that shows the entries of a damaged pack whose
// folder no folder of the table is. In angle brackets like the program's own
// marks ("<包内文件>"), which Windows allows in no file name, so that it is not
// taken for a folder the pack's author made; should a pack hold a folder of
// that name anyway, a number is added ("<无主文件>2"), so that the entries never
// mix with that folder's own files.
inline constexpr const char* kOrphanFolderName = "<无主文件>";

// Reads the pack file into the catalogue and returns what is known
// about the file. Every read is bounds-checked against the file length; every
// failure is reported through prompt and leaves the catalogue as it was.
// A table that cannot be made a tree (a loop, a range past its end) is
// refused; entries without a folder and folders listed twice are mended
// (PackRepairs), told as one warning, and the rest opens.
std::optional<PackState> ReadPack(const std::shared_ptr<HeldPack>& file, Catalogue& catalogue, IPrompt& prompt);

}  // namespace tarvex
