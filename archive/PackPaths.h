#pragma once
// Paths inside a pack: folder names joined with a backslash, GBK bytes.
#include <cstdint>
#include <string>
#include <unordered_map>

#include "archive/Catalogue.h"

namespace tarvex {

// "A\B" for folder B in folder A; empty for the root.
std::string PackPathOf(const Folder& folder);

// The pack path of every folder by ID, built in one pass over the tree.
std::unordered_map<uint32_t, std::string> FolderPathsById(const Catalogue& catalogue);

// The pack path of a file entry: its folder's path, a backslash, its name.
std::string EntryPackPath(const std::unordered_map<uint32_t, std::string>& folderPaths, const FileEntry& entry);

}  // namespace tarvex
