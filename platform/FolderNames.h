#pragma once
// The names in a folder on the disk and what each of them is.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileIo.h"

namespace tarvex {

// What one name in a folder is, as an import takes it: a link counts as what
// it points at, but a link to a folder is neither file nor folder.
struct NameLook {
    bool found = false;
    bool isFile = false;
    bool isDir = false;
    uint64_t length = 0;
};

struct FolderName {
    std::string name;
    // Where the listing itself tells what the name is (Windows' does).
    std::optional<NameLook> look;
};

// The names in the folder at path but "." and "..", in the order the system
// gives them. False, with error set, when the folder cannot be read.
bool ReadFolderNames(const std::string& path, std::vector<FolderName>& names, std::string& error);

// A folder held for looking at its names one by one; one looker per thread.
class FolderLooker {
public:
    bool Open(const std::string& path);
    NameLook Look(const std::string& name) const;

private:
    File folder_;
    std::string path_;
};

}  // namespace tarvex
