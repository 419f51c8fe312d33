#include <windows.h>

#include "platform/HeldFileLock.h"
#include "platform/win32/WindowsErrors.h"
#include "platform/win32/WindowsFiles.h"

namespace tarvex {
namespace {

HANDLE Handle(const File& file)
{
    return static_cast<HANDLE>(file.Native());
}

// The write lock is one byte far beyond any pack's end: Windows' locks keep
// other programs from the bytes they cover, and readers (the game) must read
// every byte of a pack that a writer holds. Like the POSIX lock it belongs to
// the open file, so two opens of one pack exclude each other even inside one
// process, and it needs no write access to the file.
OVERLAPPED LockPlace()
{
    OVERLAPPED place{};
    place.Offset = 0xFFFFFFFEu;
    place.OffsetHigh = 0x7FFFFFFFu;
    return place;
}

}  // namespace

LockResult TryLockFile(const File& file, std::string& error)
{
    OVERLAPPED place = LockPlace();
    if (::LockFileEx(Handle(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &place))
        return LockResult::Locked;
    const DWORD code = ::GetLastError();
    if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING) return LockResult::Busy;
    if (code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_FUNCTION) return LockResult::Locked;
    error = WindowsErrorText(code);
    return LockResult::Failed;
}

void UnlockFile(const File& file)
{
    OVERLAPPED place = LockPlace();
    ::UnlockFileEx(Handle(file), 0, 1, 0, &place);
}

bool StampOfFile(const File& file, FileStamp& stamp, std::string& error)
{
    if (StampOfHandle(Handle(file), stamp)) return true;
    error = LastErrorText();
    return false;
}

bool HeldPack::Reopen(File& out) const
{
    // A new open of this very file, with a position of its own, so that
    // reads on several threads do not wait for each other; a copy of the
    // handle where Windows cannot.
    const HANDLE reopened =
        ::ReOpenFile(Handle(file_), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
    if (reopened != INVALID_HANDLE_VALUE) {
        out.Adopt(reopened);
        return true;
    }
    HANDLE copy = nullptr;
    const HANDLE process = ::GetCurrentProcess();
    if (!::DuplicateHandle(process, Handle(file_), process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) return false;
    out.Adopt(copy);
    return true;
}

bool HeldPack::IsAt(const std::string& path) const
{
    PathStatus status;
    std::string error;
    return LookAtPath(path, status, error) == PathState::Found && status.stamp.SameFile(stamp_);
}

}  // namespace tarvex
