#include "pack/PackArchive.h"

#include "pack/PackReader.h"
#include "talk/Messages.h"

namespace tarvex {

void CPackArchive::ClearPack()
{
    state_.header.flags = 0;
    state_.header.folderCount = 0;
    state_.header.fileCount = 0;
    catalogue_.SetFolderCounter(0);
}

void CPackArchive::Forget()
{
    state_ = PackState{};
    loaded_ = false;
    catalogue_.SetFolderCounter(0);
}

bool CPackArchive::Load(const std::string& path, IPrompt& prompt)
{
    std::string error;
    const std::shared_ptr<HeldPack> file = HeldPack::Open(path, error);
    if (!file) {
        loaded_ = false;
        prompt.Tell(Printf(msg::kCannotOpenFile, path.c_str(), error.c_str()), MsgIcon::Error);
        return false;
    }
    return Load(file, prompt);
}

bool CPackArchive::Load(const std::shared_ptr<HeldPack>& file, IPrompt& prompt)
{
    loaded_ = false;
    std::optional<PackState> state = ReadPack(file, catalogue_, prompt);
    if (!state) return false;
    state_ = std::move(*state);
    loaded_ = true;
    return true;
}

std::string GetPackTitle(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    return name;
}

}  // namespace tarvex
