#include "pack/FolderTable.h"

#include <algorithm>

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

struct Level {
    Folder* folder;  // the tree's folder whose children are being inserted
    int32_t record;  // its record; -1 for the root
    uint32_t next;   // the next child record to take
    uint32_t end;
};

// Walks the table depth-first in pre-order with a work stack of its own, so
// that a hostile table cannot make it recurse deeply. `visit(parent, i)`
// makes record i a child of parent and returns the new folder. A record on
// the way down is a loop; one reached before by another path is skipped.
template <typename Visit>
FolderTableWalk Walk(const std::vector<FolderImage>& table, Folder* root, Visit visit)
{
    FolderTableWalk walk;
    walk.reached.assign(table.size(), false);
    if (table.empty()) return walk;
    std::vector<bool> onPath(table.size(), false);
    std::vector<Level> levels{{root, -1, 0, table[0].first}};
    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.next >= level.end) {
            if (level.record >= 0) onPath[static_cast<size_t>(level.record)] = false;
            levels.pop_back();
            continue;
        }
        const uint32_t i = level.next++;
        if (i >= table.size() || onPath[i]) {
            walk.valid = false;
            return walk;
        }
        if (walk.reached[i]) {
            const auto id = static_cast<uint16_t>(i + 1);
            if (std::find(walk.repeatedIds.begin(), walk.repeatedIds.end(), id) == walk.repeatedIds.end())
                walk.repeatedIds.push_back(id);
            continue;
        }
        walk.reached[i] = onPath[i] = true;
        Folder* child = visit(level.folder, i);
        levels.push_back({child, static_cast<int32_t>(i), table[i].first, table[i].end});
    }
    return walk;
}

}  // namespace

FolderTableWalk WalkFolderTable(const std::vector<FolderImage>& table)
{
    return Walk(table, nullptr, [](Folder*, uint32_t) -> Folder* { return nullptr; });
}

void InsertFoldersFromTable(Catalogue& catalogue, const std::vector<FolderImage>& table)
{
    Walk(table, &catalogue.Root(), [&](Folder* parent, uint32_t i) {
        return catalogue.InsertFolder(table[i].name, static_cast<int32_t>(i + 1), *parent);
    });
    catalogue.SetFolderCounter(static_cast<uint16_t>(table.size()));
}

}  // namespace tarvex
