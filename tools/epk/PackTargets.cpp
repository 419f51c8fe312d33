#include "tools/epk/PackTargets.h"

#include "talk/Messages.h"

namespace tarvex::epk {
namespace {

constexpr const char* kNotInPack = "文件包中没有%s。";
constexpr const char* kAmbiguous = "%s既是文件夹又是文件：要指文件夹，请在名字后面加“/”。";

}  // namespace

std::optional<PathTarget> FindNamed(Catalogue& catalogue, const std::string& path, IPrompt& prompt)
{
    std::optional<PathTarget> target = FindPackPath(catalogue, path);
    if (target && target->Found()) return target;
    prompt.Tell(Printf(kNotInPack, path.c_str()), MsgIcon::Error);
    return std::nullopt;
}

std::optional<PathTarget> FindOneNamed(Catalogue& catalogue, const std::string& path, IPrompt& prompt)
{
    std::optional<PathTarget> target = FindNamed(catalogue, path, prompt);
    if (target && target->folder && !target->files.empty()) {
        prompt.Tell(Printf(kAmbiguous, path.c_str()), MsgIcon::Error);
        return std::nullopt;
    }
    return target;
}

std::vector<size_t> FilesBelow(const Catalogue& catalogue, const Folder& folder)
{
    std::vector<size_t> files;
    const auto& entries = catalogue.Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        const Folder* f = catalogue.FolderById(entries[i].folderId);
        if (f && catalogue.IsSameOrBelow(*f, folder)) files.push_back(i);
    }
    return files;
}

}  // namespace tarvex::epk
