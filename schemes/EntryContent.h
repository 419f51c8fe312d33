#pragma once
// A file entry's own bytes, wherever they are now: in the pack on disk (a
// file carried over, or a copy of one), decoded by its scheme, or in the
// disk file it was added from and that no save has stored yet.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pack/PackArchive.h"
#include "schemes/PluginHost.h"
#include "talk/Prompt.h"

namespace tarvex {

struct EntryHead {
    std::vector<uint8_t> bytes;  // the first bytes, at most the limit asked for
    uint64_t fileSize = 0;       // of the whole file
    bool Cut() const { return bytes.size() < fileSize; }
};

// The first `limit` bytes of entry `index`. A coded file is decoded as
// extraction decodes it (whole: only a file stored as it is is read in
// pieces). Nothing when it cannot be read; the extraction's own message
// (or the disk's) then says why, through prompt.
std::optional<EntryHead> ReadEntryHead(const CPackArchive& archive, size_t index, size_t limit, IPrompt& prompt,
                                       const PluginHost& plugins);

// Writes entry `index`'s own bytes as the new file targetPath (its folder
// exists): extracted from the pack, or copied from its disk file. Reports
// failures.
bool CopyEntryOut(const CPackArchive& archive, size_t index, const std::string& targetPath, IPrompt& prompt,
                  const PluginHost& plugins);

// Copies the disk file at sourcePath as the new file targetPath (its folder
// exists), in pieces; `copied`, when given, gets its length. Reports failures.
bool CopyDiskFile(const std::string& sourcePath, const std::string& targetPath, IPrompt& prompt,
                  uint64_t* copied = nullptr);

}  // namespace tarvex
