#include "tools/epk/HeldPackFile.h"

#include "talk/Messages.h"

namespace tarvex::epk {
namespace {

constexpr const char* kRewritten = "文件包%s在挂载后被另一个程序改写，无法再读出其中的文件。";

}  // namespace

HeldPackFile::HeldPackFile(const HeldPack& pack, std::string shownPath, IPrompt& prompt)
    : pack_(pack), shownPath_(std::move(shownPath)), prompt_(prompt)
{
}

bool HeldPackFile::Unchanged()
{
    if (changed_) return false;
    if (pack_.Unchanged()) return true;
    if (!changed_.exchange(true)) prompt_.Tell(Printf(kRewritten, shownPath_.c_str()), MsgIcon::Error);
    return false;
}

}  // namespace tarvex::epk
