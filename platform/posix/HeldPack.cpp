#include "platform/HeldPack.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

#include "base/SystemErrorText.h"
#include "platform/posix/PosixFiles.h"

namespace tarvex {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kLockPoll{20};

// One attempt without waiting. flock rather than a byte-range lock: it needs
// no write access to the file (a read-only pack can still be replaced by a
// save), and like an open-file-description lock it belongs to the open file,
// so two opens of one pack exclude each other even inside one process.
LockResult TryLock(int fd, std::string& error)
{
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return LockResult::Locked;
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) return LockResult::Busy;
        if (errno == ENOLCK || errno == EINVAL || errno == EOPNOTSUPP) return LockResult::Locked;
        error = SystemErrorText(errno);
        return LockResult::Failed;
    }
}

LockResult LockUntil(int fd, Clock::time_point deadline, const LockWait& wait, bool& told, std::string& error)
{
    for (;;) {
        const LockResult result = TryLock(fd, error);
        if (result != LockResult::Busy || Clock::now() >= deadline) return result;
        if (!told && wait.onWaiting) wait.onWaiting();
        told = true;
        std::this_thread::sleep_for(std::min<Clock::duration>(kLockPoll, deadline - Clock::now()));
    }
}

bool StampOfFd(int fd, FileStamp& stamp)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    stamp = StampOf(st);
    return true;
}

}  // namespace

LockResult LockFile(File& file, const LockWait& wait, std::string& error)
{
    bool told = false;
    return LockUntil(file.Native(), Clock::now() + wait.limit, wait, told, error);
}

std::shared_ptr<HeldPack> HeldPack::Open(const std::string& path, std::string& error)
{
    auto pack = std::make_shared<HeldPack>();
    if (!pack->file_.OpenRead(path)) {
        error = pack->file_.Error();
        return nullptr;
    }
    if (!StampOfFd(pack->file_.Native(), pack->stamp_)) {
        error = SystemErrorText(errno);
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
        const LockResult result = LockUntil(pack->file_.Native(), deadline, wait, told, error);
        if (result != LockResult::Locked) return result;
        pack->locked_ = true;
        // The times it had before the lock may be those of a write that was
        // still under way.
        if (!StampOfFd(pack->file_.Native(), pack->stamp_)) {
            error = SystemErrorText(errno);
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
    if (!StampOfFd(pack->file_.Native(), pack->stamp_)) {
        error = SystemErrorText(errno);
        return nullptr;
    }
    pack->path_ = path;
    return pack;
}

bool HeldPack::Reopen(File& out) const
{
    const int fd = ::fcntl(file_.Native(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return false;
    out.Adopt(fd);
    return true;
}

bool HeldPack::Unchanged() const
{
    FileStamp now;
    return StampOfFd(file_.Native(), now) && now == stamp_;
}

bool HeldPack::IsAt(const std::string& path) const
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && StampOf(st).SameFile(stamp_);
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
    ::flock(file_.Native(), LOCK_UN);
    locked_ = false;
}

}  // namespace tarvex
