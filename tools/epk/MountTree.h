#pragma once
// The folder tree a mounted pack shows: every folder and file under the name
// `epk extract` writes it as. Names extraction refuses are left out (and
// reported), with everything below such a folder. Folders of one name in
// one folder (only a damaged pack has them) show as one, as extraction merges
// them; a file never hides a folder of its name, and of several files of one
// name the first is shown, the one the pack's lookups find.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalogue/Catalogue.h"
#include "talk/Prompt.h"

namespace tarvex::epk {

struct MountNode {
    std::string name;  // UTF-8, as extracted; empty for the root
    bool folder = false;
    size_t entry = 0;   // a file's entry index
    uint64_t size = 0;  // a file's decoded size
    uint32_t subfolders = 0;
    std::vector<uint32_t> children;  // a folder's, sub-folders first
};

class MountTree {
public:
    // Reports every item left out through prompt, as warnings.
    MountTree(const Catalogue& catalogue, IPrompt& prompt);

    static constexpr uint32_t kRoot = 0;
    const MountNode& Node(uint32_t index) const { return nodes_[index]; }
    size_t NodeCount() const { return nodes_.size(); }
    // The item of this name in a folder.
    std::optional<uint32_t> Child(uint32_t folder, std::string_view name) const;

private:
    uint32_t Add(uint32_t parent, MountNode node);

    std::vector<MountNode> nodes_;
    std::unordered_map<std::string, uint32_t> byPlace_;  // by folder and name
};

}  // namespace tarvex::epk
