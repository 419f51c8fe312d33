#pragma once
// What extracting a selection of the file list will go through: the selected
// files and every file below the selected folders. Files added since the
// last save have no bytes in the pack yet; they are named apart.
#include <functional>
#include <string>
#include <vector>

#include "catalogue/Catalogue.h"
#include "editor/FileListModel.h"

namespace tarvex {

struct ExtractionPlan {
    size_t files = 0;                    // the progress range: every file gone through
    std::vector<std::string> notInPack;  // GBK names of files without stored bytes
};

ExtractionPlan PlanExtraction(const Catalogue& catalogue, const std::vector<ListRow>& selected,
                              const std::function<bool(size_t)>& hasStoredBytes);

}  // namespace tarvex
