#pragma once
// Pack paths as epk writes them: UTF-8 names with '/' between folders (or
// '\', the pack's own form, when asked), each name escaped as tar escapes
// names in its listings, so that one line always holds one whole path: a
// backslash as "\\", a tab, a line break and a carriage return as "\t",
// "\n" and "\r", other control bytes as "\ooo". JSON has escapes of its own
// and takes the names as they are.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/Catalogue.h"

namespace tarvex::epk {

struct PathStyle {
    char separator = '/';
    bool escaped = true;
};
inline constexpr PathStyle kJsonPath{'/', false};

// Escapes the bytes of `text` from `from` on, in place.
void EscapeFrom(std::string& text, size_t from);
// The path of names given from the top down (UTF-8).
std::string ListedPath(const std::vector<std::string>& names, PathStyle style = {});
// The path of a folder ("/" for the root) or of a file entry.
std::string ListedPath(const Folder& folder, PathStyle style = {});
std::string ListedPath(const Catalogue& catalogue, size_t entry, PathStyle style = {});

// The paths of many entries: each folder's part is made once.
class ListedPaths {
public:
    ListedPaths(const Catalogue& catalogue, PathStyle style);
    // Appends entry's path to out.
    void Append(std::string& out, const FileEntry& entry) const;
    std::string Of(const FileEntry& entry) const;

private:
    std::unordered_map<uint32_t, std::string> prefixes_;  // "a/b/" by folder ID, "" for the root
    PathStyle style_;
};

}  // namespace tarvex::epk
