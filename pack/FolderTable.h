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

#include "catalogue/Catalogue.h"
#include "pack/PackArchive.h"

namespace tarvex {

struct FolderNumbering {
    std::vector<FolderImage> images;      // in record order
    std::vector<Folder*> folders;         // the folder of each record
    std::unordered_map<uint32_t, uint16_t> newIds;  // current folder ID -> ID in the pack
};

// BuildFolderTable: numbers the folders under root as the pack will.
FolderNumbering BuildFolderTable(Folder& root);

// What walking a folder table from the root found. The walk is depth-first
// in pre-order, as the tree was numbered, so a record listed by two parents
// belongs to the first of them.
struct FolderTableWalk {
    // false: a child range leaves the table, or leads back to a folder on the
    // way down to it (a loop); such a table cannot be made a tree.
    bool valid = true;
    std::vector<bool> reached;          // which records are folders of the tree
    std::vector<uint16_t> repeatedIds;  // folders a later parent listed again, in walk order
};

// Walks a table without building anything.
FolderTableWalk WalkFolderTable(const std::vector<FolderImage>& table);

// Inserts the folders of a valid table below the catalogue's root with IDs
// i + 1 (each once, at its first place) and sets the folder counter to their
// number.
void InsertFoldersFromTable(Catalogue& catalogue, const std::vector<FolderImage>& table);

}  // namespace tarvex
