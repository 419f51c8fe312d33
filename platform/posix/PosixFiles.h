#pragma once
// What POSIX's status of a file says, in the platform's own terms.
#include <sys/stat.h>

#include "platform/DiskPaths.h"

namespace tarvex {

FileKind KindOfMode(mode_t mode);
FileStamp StampOf(const struct stat& st);

}  // namespace tarvex
