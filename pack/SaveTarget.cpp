#include "pack/SaveTarget.h"

#include "base/SystemErrorText.h"
#include "platform/DiskPaths.h"
#include "talk/Messages.h"

namespace tarvex {

SavePlace LookAtSavePlace(const std::string& target, const HeldPack* pack, bool replaceConfirmed)
{
    PathStatus st;
    std::string error;
    const bool exists = LookAtPath(target, st, error) == PathState::Found;
    if (exists && st.kind != FileKind::Regular) return SavePlace::NotRegular;
    if (pack && exists && st.stamp.SameFile(pack->Stamp()))
        return pack->Unchanged() ? SavePlace::Free : SavePlace::PackRewritten;
    if (pack && pack->Path() == target && !replaceConfirmed) return SavePlace::PackReplaced;
    return SavePlace::Free;
}

SaveTarget::~SaveTarget()
{
    if (tookLock_) held_->Unlock();
}

bool SaveTarget::Refuse(IPrompt& prompt, const char* format) const
{
    prompt.Tell(Printf(format, target_.c_str()), MsgIcon::Error);
    return false;
}

bool SaveTarget::Prepare(const std::string& target, const std::shared_ptr<HeldPack>& pack, bool replaceConfirmed,
                         const LockWait& wait, IPrompt& prompt)
{
    target_ = target;
    PathStatus st;
    std::string error;
    switch (LookAtSavePlace(target, pack.get(), replaceConfirmed)) {
    case SavePlace::NotRegular:
        LookAtPath(target, st, error);
        prompt.Tell(Printf(msg::kTargetNotRegular, target.c_str(), NotRegularFileText(st.kind)), MsgIcon::Error);
        return false;
    case SavePlace::PackReplaced: return Refuse(prompt, msg::kPackReplaced);
    case SavePlace::PackRewritten: return Refuse(prompt, msg::kPackRewritten);
    case SavePlace::Free: break;
    }

    LockResult locked = LockResult::Locked;
    if (pack && pack->IsAt(target)) {
        // Saving over the pack that was read: its own lock, unless the
        // whole edit already holds it.
        held_ = pack;
        heldIsPack_ = true;
        tookLock_ = !pack->IsLocked();
        locked = pack->Lock(wait, error);
        // What changed while this waited is found by the last look.
    } else if (const PathState state = LookAtPath(target, st, error); state == PathState::Found) {
        locked = HeldPack::OpenLocked(target, wait, held_, error);
        tookLock_ = locked == LockResult::Locked;
    } else if (state == PathState::Failed) {
        prompt.Tell(Printf(msg::kWriteFailed, target.c_str(), error.c_str()), MsgIcon::Error);
        return false;
    }
    switch (locked) {
    case LockResult::Locked: break;
    case LockResult::Busy: tookLock_ = false; return Refuse(prompt, msg::kPackBusy);
    case LockResult::Failed:
        tookLock_ = false;
        prompt.Tell(Printf(msg::kWriteFailed, target.c_str(), error.c_str()), MsgIcon::Error);
        return false;
    }
    return StillAsPrepared(prompt);
}

bool SaveTarget::StillAsPrepared(IPrompt& prompt) const
{
    if (held_) {
        const bool there = held_->IsAt(target_);
        const bool unchanged = held_->Unchanged();
        if (there && unchanged) return true;
        if (!heldIsPack_) return Refuse(prompt, msg::kTargetChanged);
        return Refuse(prompt, unchanged ? msg::kPackReplaced : msg::kPackRewritten);
    }
    // A link to nothing counts as nothing: the pack goes where it points.
    PathStatus st;
    std::string error;
    if (LookAtPath(target_, st, error) == PathState::Missing) return true;
    return Refuse(prompt, msg::kTargetChanged);
}

}  // namespace tarvex
