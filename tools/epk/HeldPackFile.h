#pragma once
// Whether the pack file a mount holds is still the file the mount's tables
// were read from. A pack saved over it (a new file renamed into its place, as
// every save does) leaves the held file as it was; a pack written over in
// place (`cat other.epk > game.epk`, as `cp` does) changes under the mount,
// and its bytes are no longer those its tables describe.
#include <atomic>
#include <string>

#include "platform/HeldPack.h"
#include "talk/Prompt.h"

namespace tarvex::epk {

class HeldPackFile {
public:
    // shownPath: the pack's path, for the message.
    HeldPackFile(const HeldPack& pack, std::string shownPath, IPrompt& prompt);

    // True while the file keeps the length and modification time it had
    // when it was read; the first time it has not, says so once through the
    // prompt, and from then on stays false. Any thread may ask.
    bool Unchanged();

private:
    const HeldPack& pack_;
    std::string shownPath_;
    IPrompt& prompt_;
    std::atomic<bool> changed_ = false;
};

}  // namespace tarvex::epk
