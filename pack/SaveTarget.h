#pragma once
// The place a save writes its pack to, looked at before anything is written
// and again just before the new pack takes that place:
//  - the pack being saved over must still be the very file that was read,
//    unchanged;
//  - another file there must still be the file that was there, unchanged;
//  - where nothing was, nothing may have come meanwhile.
// Whatever file is there is locked for the save, as by every writer of
// Tarvex. Only a regular file, or nothing, is a place for a pack: a pipe, a
// device, a socket or a folder is refused.
#include <memory>
#include <string>

#include "platform/HeldPack.h"
#include "talk/Prompt.h"

namespace tarvex {

enum class SavePlace {
    Free,           // nothing there, or a regular file the save may replace
    NotRegular,     // a pipe, device, socket or folder
    PackReplaced,   // the pack's own path names another file or nothing
    PackRewritten,  // the pack that was read has been written to since
};

// What a save at target would find; `pack` is the pack the catalogue was
// read from (null for none). replaceConfirmed: the user chose the target
// knowing something is there (Save As), so another file at the pack's own
// path is replaced like any file.
SavePlace LookAtSavePlace(const std::string& target, const HeldPack* pack, bool replaceConfirmed);

class SaveTarget {
public:
    SaveTarget() = default;
    ~SaveTarget();
    SaveTarget(const SaveTarget&) = delete;
    SaveTarget& operator=(const SaveTarget&) = delete;

    // Looks at target and locks what is there. Reports a refusal.
    bool Prepare(const std::string& target, const std::shared_ptr<HeldPack>& pack, bool replaceConfirmed,
                 const LockWait& wait, IPrompt& prompt);
    // Whether the target is still as it was prepared. Reports otherwise.
    bool StillAsPrepared(IPrompt& prompt) const;
    // Nothing was there: the new pack must not replace anything.
    bool ExpectsNothing() const { return !held_; }

private:
    bool Refuse(IPrompt& prompt, const char* format) const;

    std::string target_;
    std::shared_ptr<HeldPack> held_;  // the file at the target, locked
    bool heldIsPack_ = false;         // it is the pack the catalogue was read from
    bool tookLock_ = false;
};

}  // namespace tarvex
