#pragma once
// The pack's folder table and the folder tree, in both directions.
//
// Record i is the folder with ID i + 1. The root's children are records
// 0..r-1 (r: first child index of record 0); the other folders are visited
// depth-first in pre-order, and each visited folder's children take the next
// block of free indices. Record first..end-1 are a folder's children.
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "archive/Catalogue.h"
#include "archive/PackArchive.h"

namespace tarvex {

struct FolderNumbering {
    std::vector<FolderImage> images;      // in record order
    std::vector<Folder*> folders;         // the folder of each record
    std::unordered_map<uint32_t, uint16_t> newIds;  // current folder ID -> ID in the pack
};

// BuildFolderTable: numbers the folders under root as the pack will.
FolderNumbering BuildFolderTable(Folder& root);

// Whether a table can be turned into a tree: false when a child range leaves
// the table or reaches a folder a second time (a loop). `reached` tells which
// records are folders of the tree.
bool ValidateFolderTable(const std::vector<FolderImage>& table, std::vector<bool>& reached);

// Inserts the folders of a valid table below the catalogue's root with IDs
// i + 1 and sets the folder counter to their number.
void InsertFoldersFromTable(Catalogue& catalogue, const std::vector<FolderImage>& table);

}  // namespace tarvex
