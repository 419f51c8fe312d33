#include "editor/ExtractionPlan.h"

#include <unordered_set>

namespace tarvex {

ExtractionPlan PlanExtraction(const Catalogue& catalogue, const std::vector<ListRow>& selected,
                              const std::function<bool(size_t)>& hasStoredBytes)
{
    ExtractionPlan plan;
    std::unordered_set<uint32_t> folderIds;
    std::vector<size_t> files;
    for (const ListRow& row : selected) {
        if (!row.isFolder) {
            if (row.ref < catalogue.Entries().size()) files.push_back(row.ref);
            continue;
        }
        const Folder* top = catalogue.FolderByHandle(row.ref);
        std::vector<const Folder*> pending;
        if (top) pending.push_back(top);
        while (!pending.empty()) {
            const Folder* folder = pending.back();
            pending.pop_back();
            folderIds.insert(folder->id);
            for (const auto& child : folder->children) pending.push_back(child.get());
        }
    }
    const auto& entries = catalogue.Entries();
    if (!folderIds.empty()) {
        for (size_t i = 0; i < entries.size(); ++i)
            if (folderIds.count(entries[i].folderId)) files.push_back(i);
    }
    plan.files = files.size();
    for (size_t index : files)
        if (!hasStoredBytes(index)) plan.notInPack.push_back(entries[index].name);
    return plan;
}

}  // namespace tarvex
