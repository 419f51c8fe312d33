#include "archive/FolderTable.h"

namespace tarvex {
namespace {

void HandOutChildIndices(Folder& folder, FolderNumbering& out, std::vector<uint16_t>& indexOf,
                         uint16_t& next)
{
    for (auto& child : folder.children) {
        indexOf.push_back(next);
        out.folders[next] = child.get();
        out.images[next].name = child->name;
        ++next;
    }
}

void Visit(Folder& folder, uint16_t index, FolderNumbering& out, uint16_t& next)
{
    FolderImage& image = out.images[index];
    image.first = next;
    std::vector<uint16_t> childIndices;
    HandOutChildIndices(folder, out, childIndices, next);
    image.end = next;
    for (size_t c = 0; c < folder.children.size(); ++c) Visit(*folder.children[c], childIndices[c], out, next);
}

size_t CountBelow(const Folder& folder)
{
    size_t n = folder.children.size();
    for (const auto& child : folder.children) n += CountBelow(*child);
    return n;
}

}  // namespace

FolderNumbering BuildFolderTable(Folder& root)
{
    FolderNumbering out;
    const size_t count = CountBelow(root);
    out.images.resize(count);
    out.folders.resize(count);
    uint16_t next = 0;
    std::vector<uint16_t> rootChildren;
    HandOutChildIndices(root, out, rootChildren, next);
    for (size_t c = 0; c < root.children.size(); ++c) Visit(*root.children[c], rootChildren[c], out, next);
    for (size_t i = 0; i < count; ++i) out.newIds[out.folders[i]->id] = static_cast<uint16_t>(i + 1);
    return out;
}

namespace {

struct Range {
    Folder* parent;
    uint16_t from;
    uint16_t to;
};

// Walks the table from the root's range; each range's folders are taken in
// order, so the order ranges are worked on does not change the tree, and a
// work list avoids deep recursion on hostile tables.
template <typename Visit>
bool WalkTable(const std::vector<FolderImage>& table, Folder* root, std::vector<bool>& reached, Visit visit)
{
    reached.assign(table.size(), false);
    if (table.empty()) return true;
    std::vector<Range> work{{root, 0, table[0].first}};
    while (!work.empty()) {
        const Range range = work.back();
        work.pop_back();
        for (uint32_t i = range.from; i < range.to; ++i) {
            if (i >= table.size() || reached[i]) return false;
            reached[i] = true;
            work.push_back({visit(range.parent, i), table[i].first, table[i].end});
        }
    }
    return true;
}

}  // namespace

bool ValidateFolderTable(const std::vector<FolderImage>& table, std::vector<bool>& reached)
{
    return WalkTable(table, nullptr, reached, [](Folder*, uint32_t) -> Folder* { return nullptr; });
}

void InsertFoldersFromTable(Catalogue& catalogue, const std::vector<FolderImage>& table)
{
    std::vector<bool> reached;
    WalkTable(table, &catalogue.Root(), reached, [&](Folder* parent, uint32_t i) {
        return catalogue.InsertFolder(table[i].name, static_cast<int32_t>(i + 1), *parent);
    });
    catalogue.SetFolderCounter(static_cast<uint16_t>(table.size()));
}

}  // namespace tarvex
