#include "archive/PackPaths.h"

#include <vector>

namespace tarvex {

std::string PackPathOf(const Folder& folder)
{
    std::string path;
    for (const Folder* f = &folder; f && f->parent; f = f->parent)
        path = path.empty() ? f->name : f->name + "\\" + path;
    return path;
}

std::unordered_map<uint32_t, std::string> FolderPathsById(const Catalogue& catalogue)
{
    std::unordered_map<uint32_t, std::string> paths;
    paths[0] = "";
    std::vector<std::pair<const Folder*, std::string>> pending{{&catalogue.Root(), ""}};
    while (!pending.empty()) {
        auto [folder, path] = std::move(pending.back());
        pending.pop_back();
        for (const auto& child : folder->children) {
            std::string childPath = path.empty() ? child->name : path + "\\" + child->name;
            paths.emplace(child->id, childPath);
            pending.emplace_back(child.get(), std::move(childPath));
        }
    }
    return paths;
}

std::string EntryPackPath(const std::unordered_map<uint32_t, std::string>& folderPaths, const FileEntry& entry)
{
    const auto it = folderPaths.find(entry.folderId);
    if (it == folderPaths.end() || it->second.empty()) return entry.name;
    return it->second + "\\" + entry.name;
}

}  // namespace tarvex
