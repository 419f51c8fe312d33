#pragma once
// The pack file a mount holds open, and whether it still is the file the
// mount's tables were read from. A pack saved over it (a new file renamed
// into its place, as every save does) leaves the held file as it was; a pack
// written over in place (`cat other.epk > game.epk`, as `cp` does) changes
// under the mount, and its bytes are no longer those its tables describe.
#include <string>
#include <sys/stat.h>

#include "archive/Prompt.h"

namespace tarvex::epk {

class HeldPackFile {
public:
    // fd: the descriptor the mount holds (not taken over); shownPath: the
    // pack's path, for the message. Looks at the file now, before its tables
    // are read.
    HeldPackFile(int fd, std::string shownPath, IPrompt& prompt);

    // The file as it was when the mount was made.
    const struct stat& Mounted() const { return mounted_; }
    // True while the file keeps the size and times it had then; the first
    // time it has not, says so once through the prompt, and from then on
    // stays false.
    bool Unchanged();

private:
    int fd_;
    std::string shownPath_;
    IPrompt& prompt_;
    struct stat mounted_ {};
    bool changed_ = false;
};

}  // namespace tarvex::epk
