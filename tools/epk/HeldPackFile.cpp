#include "tools/epk/HeldPackFile.h"

#include "archive/Messages.h"

namespace tarvex::epk {
namespace {

constexpr const char* kRewritten = "文件包%s在挂载后被另一个程序改写，无法再读出其中的文件。";

bool SameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// A write or a truncation moves the modification time and the change time;
// setting the modification time back moves the change time. A change of
// the link count moves the change time too, and only that one is left out:
// the pack saved over, or deleted, is unlinked and keeps its bytes.
bool SameFile(const struct stat& then, const struct stat& now)
{
    return then.st_size == now.st_size && SameTime(then.st_mtim, now.st_mtim) &&
           (SameTime(then.st_ctim, now.st_ctim) || then.st_nlink != now.st_nlink);
}

}  // namespace

HeldPackFile::HeldPackFile(int fd, std::string shownPath, IPrompt& prompt)
    : fd_(fd), shownPath_(std::move(shownPath)), prompt_(prompt)
{
    ::fstat(fd_, &mounted_);
}

bool HeldPackFile::Unchanged()
{
    if (changed_) return false;
    struct stat now {};
    if (::fstat(fd_, &now) == 0 && SameFile(mounted_, now)) return true;
    changed_ = true;
    prompt_.Tell(Printf(kRewritten, shownPath_.c_str()), MsgIcon::Error);
    return false;
}

}  // namespace tarvex::epk
