#include "tools/epk/MountTree.h"

#include "schemes/TreeExtraction.h"
#include "talk/Messages.h"

namespace tarvex::epk {
namespace {

constexpr const char* kHiddenByName = "文件包中的“%s”与前面的文件或文件夹重名，没有显示。";

std::string Join(const std::string& folderPath, const std::string& name)
{
    return folderPath == "/" ? "/" + name : folderPath + "/" + name;
}

}  // namespace

MountTree::MountTree(const Catalogue& catalogue, IPrompt& prompt)
{
    MountNode root;
    root.folder = true;
    nodes_.push_back(std::move(root));
    byPath_.emplace("/", kRoot);

    // Every folder first, so that no file can take a folder's name; the
    // node and path of each folder of the pack by its ID.
    std::unordered_map<uint32_t, std::pair<uint32_t, std::string>> placeOf;
    std::vector<const Folder*> pending{&catalogue.Root()};
    placeOf[catalogue.Root().id] = {kRoot, "/"};
    while (!pending.empty()) {
        const Folder* folder = pending.back();
        pending.pop_back();
        const auto [node, path] = placeOf.at(folder->id);
        for (const auto& child : folder->children) {
            const std::optional<std::string> name = DiskNameOf(child->name, prompt);
            if (!name) continue;
            const std::string childPath = Join(path, *name);
            const auto same = byPath_.find(childPath);
            MountNode childNode;
            childNode.name = *name;
            childNode.folder = true;
            const uint32_t index = same != byPath_.end() ? same->second : Add(node, childPath, std::move(childNode));
            if (same == byPath_.end()) ++nodes_[node].subfolders;
            placeOf[child->id] = {index, childPath};
            pending.push_back(child.get());
        }
    }

    const auto& entries = catalogue.Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto place = placeOf.find(entries[i].folderId);
        if (place == placeOf.end()) continue;  // below a folder left out
        const std::optional<std::string> name = DiskNameOf(entries[i].name, prompt);
        if (!name) continue;
        const std::string path = Join(place->second.second, *name);
        if (byPath_.count(path)) {
            prompt.Tell(Printf(kHiddenByName, path.substr(1).c_str()), MsgIcon::Warning);
            continue;
        }
        MountNode file;
        file.name = *name;
        file.entry = i;
        file.size = entries[i].fileSize;
        Add(place->second.first, path, std::move(file));
    }
}

uint32_t MountTree::Add(uint32_t parent, const std::string& path, MountNode node)
{
    const auto index = static_cast<uint32_t>(nodes_.size());
    nodes_.push_back(std::move(node));
    nodes_[parent].children.push_back(index);
    byPath_.emplace(path, index);
    return index;
}

std::optional<uint32_t> MountTree::Find(std::string_view path) const
{
    const auto it = byPath_.find(std::string(path));
    if (it == byPath_.end()) return std::nullopt;
    return it->second;
}

}  // namespace tarvex::epk
