#pragma once
// Paths inside a pack: folder names joined with a backslash, GBK bytes.
#include <cstdint>
#include <string>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalogue/Catalogue.h"

namespace tarvex {

// "A\B" for folder B in folder A; empty for the root.
std::string PackPathOf(const Folder& folder);

// The pack path of every folder by ID, built in one pass over the tree.
std::unordered_map<uint32_t, std::string> FolderPathsById(const Catalogue& catalogue);

// The pack path of a file entry: its folder's path, a backslash, its name.
std::string EntryPackPath(const std::unordered_map<uint32_t, std::string>& folderPaths, const FileEntry& entry);

// The pack path of a folder (a backslash for the root) or of an entry, as UTF-8
// for messages.
std::string ShownPath(const Folder& folder);
std::string ShownPath(const Catalogue& catalogue, size_t entry);
// The names of a folder's or an entry's path from the top down, as UTF-8
// (none for the root), for tools that write paths in a form of their own.
std::vector<std::string> ShownNames(const Folder& folder);
std::vector<std::string> ShownNames(const Catalogue& catalogue, size_t entry);

// What a path typed by a user names in a catalogue: a folder, file entries,
// both (a folder and a file may share a name) or nothing.
struct PathTarget {
    Folder* folder = nullptr;
    std::vector<size_t> files;  // entry indices
    bool Found() const { return folder || !files.empty(); }
};

// Resolves a UTF-8 path with '/' or '\' between names ("" and "/" are the
// root; a trailing separator asks for a folder only). Empty when a name
// cannot be converted to GBK.
std::optional<PathTarget> FindPackPath(Catalogue& catalogue, std::string_view utf8Path);

// The folder at a UTF-8 path, created with its missing parents when
// `create` is set; nullptr when it does not exist (or cannot be made).
Folder* FolderAtPath(Catalogue& catalogue, std::string_view utf8Path, bool create);

}  // namespace tarvex
