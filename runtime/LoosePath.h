#pragma once
// Where a loose file that overrides a packed one lies: below the external
// folder, at the pack path with its folders turned into disk folders and its
// GBK names into the UTF-8 names of the disk (as extraction writes them).
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

enum class LooseLookup {
    Path,        // path holds the loose file's disk path
    Unsafe,      // the pack path is absolute or has "." or ".." components
    Unnameable,  // the pack path has no name or one the disk cannot show
};

struct LoosePath {
    LooseLookup lookup = LooseLookup::Unnameable;
    std::string path;
};

// The loose file for a caller's pack path (text as given, components as
// resolved in GBK) below the folder root. Never a path outside root.
LoosePath LooseFilePath(std::string_view root, std::string_view text, const std::vector<std::string>& components);

// The folder that holds the file at path: "." for a bare name.
std::string FolderOf(const std::string& path);

}  // namespace tarvex
