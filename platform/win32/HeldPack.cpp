#include "platform/HeldPack.h"

#include <windows.h>

#include <thread>

#include "platform/win32/WindowsErrors.h"
#include "platform/win32/WindowsFiles.h"

namespace tarvex {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kLockPoll{20};

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

// One attempt without waiting.
LockResult TryLock(HANDLE file, std::string& error)
{
    OVERLAPPED place = LockPlace();
    if (::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &place))
        return LockResult::Locked;
    const DWORD code = ::GetLastError();
    if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING) return LockResult::Busy;
    // A file system without locks: the checks of a save still stand.
    if (code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_FUNCTION) return LockResult::Locked;
    error = WindowsErrorText(code);
    return LockResult::Failed;
}

LockResult LockUntil(HANDLE file, Clock::time_point deadline, const LockWait& wait, bool& told, std::string& error)
{
    for (;;) {
        const LockResult result = TryLock(file, error);
        if (result != LockResult::Busy || Clock::now() >= deadline) return result;
        if (!told && wait.onWaiting) wait.onWaiting();
        told = true;
        std::this_thread::sleep_for(std::min<Clock::duration>(kLockPoll, deadline - Clock::now()));
    }
}

}  // namespace

LockResult LockFile(File& file, const LockWait& wait, std::string& error)
{
    bool told = false;
    return LockUntil(Handle(file), Clock::now() + wait.limit, wait, told, error);
}

std::shared_ptr<HeldPack> HeldPack::Open(const std::string& path, std::string& error)
{
    auto pack = std::make_shared<HeldPack>();
    if (!pack->file_.OpenRead(path)) {
        error = pack->file_.Error();
        return nullptr;
    }
    if (!StampOfHandle(Handle(pack->file_), pack->stamp_)) {
        error = LastErrorText();
        return nullptr;
    }
    pack->path_ = path;
    return pack;
}

LockResult HeldPack::OpenLocked(const std::string& path, const LockWait& wait, std::shared_ptr<HeldPack>& out,
                                std::string& error)
{
    const Clock::time_point deadline = Clock::now() + wait.limit;
    bool told = false;
    // Each new try follows a save that replaced the file while this one
    // waited; a pack saved over and over again without end is given up on
    // when the wait is over.
    for (;;) {
        std::shared_ptr<HeldPack> pack = Open(path, error);
        if (!pack) return LockResult::Failed;
        const LockResult result = LockUntil(Handle(pack->file_), deadline, wait, told, error);
        if (result != LockResult::Locked) return result;
        pack->locked_ = true;
        // The times it had before the lock may be those of a write that was
        // still under way.
        if (!StampOfHandle(Handle(pack->file_), pack->stamp_)) {
            error = LastErrorText();
            return LockResult::Failed;
        }
        if (pack->IsAt(path)) {
            out = std::move(pack);
            return LockResult::Locked;
        }
        if (Clock::now() >= deadline) return LockResult::Busy;
    }
}

std::shared_ptr<HeldPack> HeldPack::Adopt(File file, const std::string& path, std::string& error)
{
    auto pack = std::make_shared<HeldPack>();
    pack->file_ = std::move(file);
    if (!StampOfHandle(Handle(pack->file_), pack->stamp_)) {
        error = LastErrorText();
        return nullptr;
    }
    pack->path_ = path;
    return pack;
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

bool HeldPack::Unchanged() const
{
    FileStamp now;
    return StampOfHandle(Handle(file_), now) && now == stamp_;
}

bool HeldPack::IsAt(const std::string& path) const
{
    PathStatus status;
    std::string error;
    return LookAtPath(path, status, error) == PathState::Found && status.stamp.SameFile(stamp_);
}

LockResult HeldPack::Lock(const LockWait& wait, std::string& error)
{
    if (locked_) return LockResult::Locked;
    const LockResult result = LockFile(file_, wait, error);
    locked_ = result == LockResult::Locked;
    return result;
}

void HeldPack::Unlock()
{
    if (!locked_) return;
    OVERLAPPED place = LockPlace();
    ::UnlockFileEx(Handle(file_), 0, 1, 0, &place);
    locked_ = false;
}

}  // namespace tarvex
