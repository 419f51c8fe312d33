#pragma once
// Adding a directory tree from disk to a folder of the catalogue.
#include <functional>
#include <string>
#include <string_view>

#include "catalogue/CatalogueEdits.h"

namespace tarvex {

struct ImportReport {
    size_t files = 0;
    size_t folders = 0;
    size_t refused = 0;  // names that cannot be stored, names already present
    size_t skipped = 0;  // neither a regular file nor a directory
    bool failed = false; // a file or directory that could not be read
};

// Adds the files of directory `dir` to folder `parent` and its
// sub-directories as sub-folders, recursively. Names are taken in the byte
// order of their GBK form, a folder's files before its sub-folders. A
// sub-directory whose name a sub-folder of the target already has is merged
// into it. Symbolic links to files are followed; links to directories and
// special files are skipped with a message.
ImportReport ImportDirectoryTree(Catalogue& catalogue, Folder& parent, const std::string& dir, IPrompt& prompt);

// Told the path of each item below the directory ("a/b.txt": its disk names,
// '/' between them) before it is looked at; true leaves it out, and a
// folder left out takes everything below it along, unread. It may be called
// from several threads at once.
using ImportFilter = std::function<bool(std::string_view relativePath)>;
ImportReport ImportDirectoryTree(Catalogue& catalogue, Folder& parent, const std::string& dir, IPrompt& prompt,
                                 const ImportFilter& leaveOut);

}  // namespace tarvex
