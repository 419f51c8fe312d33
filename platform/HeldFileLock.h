#pragma once
// What each system gives a held pack: one attempt at a file's write lock,
// its release, and the file's stamp.
#include <string>

#include "platform/DiskPaths.h"
#include "platform/FileIo.h"
#include "platform/HeldPack.h"

namespace tarvex {

// One attempt, without waiting. A file system without such locks counts as
// locked: the checks of a save still stand.
LockResult TryLockFile(const File& file, std::string& error);
void UnlockFile(const File& file);
// The open file's length, times and identity; false, with `error` set, when
// they cannot be read.
bool StampOfFile(const File& file, FileStamp& stamp, std::string& error);

}  // namespace tarvex
