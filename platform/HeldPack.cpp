#include "platform/HeldPack.h"

#include <algorithm>
#include <thread>

#include "platform/HeldFileLock.h"

namespace tarvex {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kLockPoll{20};

LockResult LockUntil(const File& file, Clock::time_point deadline, const LockWait& wait, bool& told,
                     std::string& error)
{
    for (;;) {
        const LockResult result = TryLockFile(file, error);
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
    return LockUntil(file, Clock::now() + wait.limit, wait, told, error);
}

std::shared_ptr<HeldPack> HeldPack::Open(const std::string& path, std::string& error)
{
    auto pack = std::make_shared<HeldPack>();
    if (!pack->file_.OpenRead(path)) {
        error = pack->file_.Error();
        return nullptr;
    }
    if (!StampOfFile(pack->file_, pack->stamp_, error)) return nullptr;
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
        const LockResult result = LockUntil(pack->file_, deadline, wait, told, error);
        if (result != LockResult::Locked) return result;
        pack->locked_ = true;
        // The times it had before the lock may be those of a write that was
        // still under way.
        if (!StampOfFile(pack->file_, pack->stamp_, error)) return LockResult::Failed;
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
    if (!StampOfFile(pack->file_, pack->stamp_, error)) return nullptr;
    pack->path_ = path;
    return pack;
}

bool HeldPack::Unchanged() const
{
    FileStamp now;
    std::string error;
    return StampOfFile(file_, now, error) && now == stamp_;
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
    UnlockFile(file_);
    locked_ = false;
}

}  // namespace tarvex
