#pragma once
// Opening a file of the disk for reading by the runtime: only regular files
// (a folder, a pipe or a device is never waited on), at most 4 GiB - 1 long.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/FileIo.h"
#include "talk/Prompt.h"

namespace tarvex {

enum class DiskOpen {
    Opened,
    Missing,  // nothing there, or a folder
    Failed,   // there, but not readable as a file; reported
};

// Opens the file at path into file and gives its length. A missing file is
// reported only when missingIsError.
DiskOpen OpenDiskFile(const std::string& path, File& file, uint32_t& length, IPrompt& prompt, bool missingIsError);

// The disk path a caller's text names: of the readings the system gives it
// (UTF-8 or GBK on Windows, the bytes as they are elsewhere), the first that
// names something on the disk, else the first.
std::string CallerDiskPath(std::string_view text);

// Why the thing at path cannot be opened as a file when something other than
// a regular file is there (a folder, a pipe, a device); nullptr otherwise.
const char* NotARegularFile(const std::string& path);

}  // namespace tarvex
