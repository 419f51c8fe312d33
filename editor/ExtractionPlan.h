#pragma once
// What extracting a selection of the file list writes: the selected files
// into the target folder, a selected folder as a folder of the same name
// with its files and sub-folders below it. Files added since the last save
// have no bytes in the pack yet and are listed apart.
#include <functional>
#include <string>
#include <vector>

#include "archive/Catalogue.h"
#include "editor/FileListModel.h"

namespace tarvex {

struct ExtractionJob {
    size_t entry = 0;
    std::string diskFolder;  // the folder the file goes into
};

struct ExtractionPlan {
    std::vector<std::string> folders;        // to make, each after its parent
    std::vector<ExtractionJob> files;        // in list order, a folder's files before its sub-folders
    std::vector<std::string> notInPack;      // GBK names of files without stored bytes
    std::vector<std::string> unsafeFolders;  // GBK names of folders that cannot be made on disk
};

ExtractionPlan PlanExtraction(const Catalogue& catalogue, const std::vector<ListRow>& selected,
                              const std::string& target, const std::function<bool(size_t)>& hasStoredBytes);

}  // namespace tarvex
