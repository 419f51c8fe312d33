#include "tools/epk/PackTargets.h"

#include "catalogue/ShellPattern.h"
#include "talk/Messages.h"
#include "tools/epk/ListedPaths.h"

namespace tarvex::epk {
namespace {

constexpr const char* kNotInPack = "文件包中没有“%s”。";
constexpr const char* kAmbiguous = "“%s”既是文件夹又是文件：要指文件夹，请在名字后面加“/”。";

std::vector<PathTarget> MatchPattern(Catalogue& catalogue, std::string pattern)
{
    const bool foldersOnly = pattern.size() > 1 && pattern.back() == '/';
    if (foldersOnly) pattern.pop_back();
    if (pattern.size() > 1 && pattern.front() == '/') pattern.erase(0, 1);
    const auto matches = [&](const std::string& path) { return MatchesShellPattern(pattern, path); };
    std::vector<PathTarget> targets;
    std::vector<Folder*> pending{&catalogue.Root()};
    while (!pending.empty()) {
        Folder* folder = pending.back();
        pending.pop_back();
        if (folder->parent && matches(ListedPath(*folder, kJsonPath))) targets.push_back({folder, {}});
        for (auto it = folder->children.rbegin(); it != folder->children.rend(); ++it) pending.push_back(it->get());
    }
    if (foldersOnly) return targets;
    const ListedPaths paths(catalogue, kJsonPath);
    const auto& entries = catalogue.Entries();
    for (size_t i = 0; i < entries.size(); ++i)
        if (matches(paths.Of(entries[i]))) targets.push_back({nullptr, {i}});
    return targets;
}

}  // namespace

bool IsPattern(const std::string& path, bool wildcards)
{
    return wildcards && path.find_first_of("*?[") != std::string::npos;
}

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

std::vector<PathTarget> FindTargets(Catalogue& catalogue, const std::string& path, bool wildcards, IPrompt& prompt,
                                    bool filesFirst)
{
    if (!IsPattern(path, wildcards)) {
        std::optional<PathTarget> target =
            filesFirst ? FindNamed(catalogue, path, prompt) : FindOneNamed(catalogue, path, prompt);
        if (!target) return {};
        return {std::move(*target)};
    }
    std::vector<PathTarget> targets = MatchPattern(catalogue, path);
    if (targets.empty()) prompt.Tell(Printf(kNotInPack, path.c_str()), MsgIcon::Error);
    return targets;
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
