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

// A name's key in the lookup table: its folder's node, then the name.
std::string PlaceKey(uint32_t folder, std::string_view name)
{
    std::string key(reinterpret_cast<const char*>(&folder), sizeof folder);
    key += name;
    return key;
}

}  // namespace

MountTree::MountTree(const Catalogue& catalogue, IPrompt& prompt)
{
    MountNode root;
    root.folder = true;
    nodes_.push_back(std::move(root));

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
            const auto same = byPlace_.find(PlaceKey(node, *name));
            MountNode childNode;
            childNode.name = *name;
            childNode.folder = true;
            const uint32_t index = same != byPlace_.end() ? same->second : Add(node, std::move(childNode));
            if (same == byPlace_.end()) ++nodes_[node].subfolders;
            placeOf[child->id] = {index, Join(path, *name)};
            pending.push_back(child.get());
        }
    }

    const auto& entries = catalogue.Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto place = placeOf.find(entries[i].folderId);
        if (place == placeOf.end()) continue;  // below a folder left out
        const std::optional<std::string> name = DiskNameOf(entries[i].name, prompt);
        if (!name) continue;
        if (byPlace_.count(PlaceKey(place->second.first, *name))) {
            const std::string path = Join(place->second.second, *name);
            prompt.Tell(Printf(kHiddenByName, path.substr(1).c_str()), MsgIcon::Warning);
            continue;
        }
        MountNode file;
        file.name = *name;
        file.entry = i;
        file.size = entries[i].fileSize;
        Add(place->second.first, std::move(file));
    }
}

uint32_t MountTree::Add(uint32_t parent, MountNode node)
{
    const auto index = static_cast<uint32_t>(nodes_.size());
    byPlace_.emplace(PlaceKey(parent, node.name), index);
    nodes_.push_back(std::move(node));
    nodes_[parent].children.push_back(index);
    return index;
}

std::optional<uint32_t> MountTree::Child(uint32_t folder, std::string_view name) const
{
    const auto it = byPlace_.find(PlaceKey(folder, name));
    if (it == byPlace_.end()) return std::nullopt;
    return it->second;
}

}  // namespace tarvex::epk
