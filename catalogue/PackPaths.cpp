#include "catalogue/PackPaths.h"

#include <vector>

#include "base/GbkText.h"

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

std::string ShownPath(const Folder& folder)
{
    return folder.parent ? GbkToUtf8Lossy(PackPathOf(folder)) : "\\";
}

std::string ShownPath(const Catalogue& catalogue, size_t entry)
{
    const FileEntry& e = catalogue.Entries()[entry];
    const Folder* folder = catalogue.FolderById(e.folderId);
    const std::string folderPath = folder ? PackPathOf(*folder) : std::string();
    return GbkToUtf8Lossy(folderPath.empty() ? e.name : folderPath + "\\" + e.name);
}

std::vector<std::string> ShownNames(const Folder& folder)
{
    std::vector<std::string> names;
    for (const Folder* f = &folder; f->parent; f = f->parent) names.insert(names.begin(), GbkToUtf8Lossy(f->name));
    return names;
}

std::vector<std::string> ShownNames(const Catalogue& catalogue, size_t entry)
{
    const FileEntry& e = catalogue.Entries()[entry];
    const Folder* folder = catalogue.FolderById(e.folderId);
    std::vector<std::string> names = folder ? ShownNames(*folder) : std::vector<std::string>{};
    names.push_back(GbkToUtf8Lossy(e.name));
    return names;
}

namespace {

// The names of a typed path: split at '/' and '\' (UTF-8 has neither inside
// a character), each converted to GBK.
std::optional<std::vector<std::string>> PathNames(std::string_view utf8Path)
{
    std::vector<std::string> names;
    std::string current;
    const auto flush = [&]() -> bool {
        if (current.empty()) return true;
        std::optional<std::string> gbk = Utf8ToGbk(current);
        if (!gbk) return false;
        names.push_back(std::move(*gbk));
        current.clear();
        return true;
    };
    for (char c : utf8Path) {
        if (c == '/' || c == '\\') {
            if (!flush()) return std::nullopt;
        } else {
            current += c;
        }
    }
    if (!flush()) return std::nullopt;
    return names;
}

Folder* ChildNamed(Folder& parent, const std::string& name)
{
    for (const auto& child : parent.children)
        if (child->name == name) return child.get();
    return nullptr;
}

}  // namespace

std::optional<PathTarget> FindPackPath(Catalogue& catalogue, std::string_view utf8Path)
{
    const std::optional<std::vector<std::string>> names = PathNames(utf8Path);
    if (!names) return std::nullopt;
    PathTarget target;
    if (names->empty()) {
        target.folder = &catalogue.Root();
        return target;
    }
    Folder* parent = &catalogue.Root();
    for (size_t i = 0; i + 1 < names->size() && parent; ++i) parent = ChildNamed(*parent, (*names)[i]);
    if (!parent) return target;
    const std::string& last = names->back();
    target.folder = ChildNamed(*parent, last);
    const bool folderOnly = !utf8Path.empty() && (utf8Path.back() == '/' || utf8Path.back() == '\\');
    if (!folderOnly) {
        const auto& entries = catalogue.Entries();
        for (size_t i = 0; i < entries.size(); ++i)
            if (entries[i].folderId == parent->id && entries[i].name == last) target.files.push_back(i);
    }
    return target;
}

Folder* FolderAtPath(Catalogue& catalogue, std::string_view utf8Path, bool create)
{
    const std::optional<std::vector<std::string>> names = PathNames(utf8Path);
    if (!names) return nullptr;
    Folder* folder = &catalogue.Root();
    for (const std::string& name : *names) {
        Folder* next = ChildNamed(*folder, name);
        if (!next && create) next = catalogue.InsertFolder(name, -1, *folder);
        if (!next) return nullptr;
        folder = next;
    }
    return folder;
}

}  // namespace tarvex
