#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/SystemErrorText.h"
#include "platform/HeldFileLock.h"
#include "platform/posix/PosixFiles.h"

namespace tarvex {

// flock rather than a byte-range lock: it needs no write access to the file
// (a read-only pack can still be replaced by a save), and like an
// open-file-description lock it belongs to the open file, so two opens of
// one pack exclude each other even inside one process.
LockResult TryLockFile(const File& file, std::string& error)
{
    for (;;) {
        if (::flock(file.Native(), LOCK_EX | LOCK_NB) == 0) return LockResult::Locked;
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) return LockResult::Busy;
        if (errno == ENOLCK || errno == EINVAL || errno == EOPNOTSUPP) return LockResult::Locked;
        error = SystemErrorText(errno);
        return LockResult::Failed;
    }
}

void UnlockFile(const File& file)
{
    ::flock(file.Native(), LOCK_UN);
}

bool StampOfFile(const File& file, FileStamp& stamp, std::string& error)
{
    struct stat st {};
    if (::fstat(file.Native(), &st) != 0) {
        error = SystemErrorText(errno);
        return false;
    }
    stamp = StampOf(st);
    return true;
}

bool HeldPack::Reopen(File& out) const
{
    const int fd = ::fcntl(file_.Native(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return false;
    out.Adopt(fd);
    return true;
}

bool HeldPack::IsAt(const std::string& path) const
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && StampOf(st).SameFile(stamp_);
}

}  // namespace tarvex
