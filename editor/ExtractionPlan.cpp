#include "editor/ExtractionPlan.h"

#include <climits>
#include <unordered_map>

#include "schemes/Extraction.h"

namespace tarvex {
namespace {

class Planner {
public:
    Planner(const Catalogue& catalogue, const std::function<bool(size_t)>& hasStoredBytes, ExtractionPlan& plan)
        : catalogue_(catalogue), hasStoredBytes_(hasStoredBytes), plan_(plan)
    {
        const auto& entries = catalogue.Entries();
        for (size_t i = 0; i < entries.size(); ++i) byFolder_[entries[i].folderId].push_back(i);
    }

    void File(size_t entry, const std::string& diskFolder)
    {
        if (hasStoredBytes_(entry)) {
            plan_.files.push_back({entry, diskFolder});
        } else {
            plan_.notInPack.push_back(catalogue_.Entries()[entry].name);
        }
    }

    void Folder(const tarvex::Folder& folder, const std::string& parentDisk)
    {
        std::string name;
        if (!IsSafeDiskName(folder.name, name) || name.size() > NAME_MAX) {
            plan_.unsafeFolders.push_back(folder.name);
            return;
        }
        const std::string disk = parentDisk + "/" + name;
        plan_.folders.push_back(disk);
        if (const auto it = byFolder_.find(folder.id); it != byFolder_.end())
            for (size_t entry : it->second) File(entry, disk);
        for (const auto& child : folder.children) Folder(*child, disk);
    }

private:
    const Catalogue& catalogue_;
    const std::function<bool(size_t)>& hasStoredBytes_;
    ExtractionPlan& plan_;
    std::unordered_map<uint32_t, std::vector<size_t>> byFolder_;
};

}  // namespace

ExtractionPlan PlanExtraction(const Catalogue& catalogue, const std::vector<ListRow>& selected,
                              const std::string& target, const std::function<bool(size_t)>& hasStoredBytes)
{
    ExtractionPlan plan;
    Planner planner(catalogue, hasStoredBytes, plan);
    for (const ListRow& row : selected) {
        if (row.isFolder) {
            if (const Folder* folder = catalogue.FolderByHandle(row.ref)) planner.Folder(*folder, target);
        } else if (row.ref < catalogue.Entries().size()) {
            planner.File(row.ref, target);
        }
    }
    return plan;
}

}  // namespace tarvex
