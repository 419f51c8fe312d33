#pragma once
// Whether files of the pack on disk still hold the bytes of files on disk of
// the same size, for sync: decoded bytes against the disk file's, compared on
// all cores in bounded pieces (files stored as they are are never held
// whole, and a large one is shared out in parts).
#include <span>
#include <string>
#include <vector>

#include "archive/PackArchive.h"
#include "archive/Prompt.h"

namespace tarvex::epk {

struct DiskTwin {
    size_t entry;      // of the archive's catalogue, its bytes in the pack
    std::string path;  // the file on disk, as long as the entry's file size
};

enum class Sameness {
    Same,
    Differs,     // another byte, another length now, or pack bytes that do not decode (reported)
    Unreadable,  // the disk file cannot be read (reported)
};

// One answer per twin, in their order; messages go to prompt in that order too.
std::vector<Sameness> CompareWithDisk(const CPackArchive& archive, const std::string& packPath,
                                      std::span<const DiskTwin> twins, IPrompt& prompt);

}  // namespace tarvex::epk
