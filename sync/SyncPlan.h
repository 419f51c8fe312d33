#pragma once
// What a sync (epk sync) changes in a pack so that it holds a directory
// tree: the tree, read into a catalogue of its own first (with the checks and
// messages of a directory import), is matched with the pack folder by
// folder, by exact names. Files only on disk are added, files whose bytes
// differ take the disk's, and with deleteAbsent files and folders only in
// the pack are removed; files that are the same keep their stored bytes and
// scheme.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/Catalogue.h"
#include "catalogue/Exclusions.h"
#include "pack/PackArchive.h"
#include "talk/Prompt.h"

namespace tarvex {

enum class SyncAction { AddFolder, Add, Change, Remove, RemoveFolder };

struct SyncChange {
    SyncAction action;
    std::vector<std::string> names;  // of its path in the pack, from the top down, UTF-8
};

struct SyncOptions {
    bool deleteAbsent = false;
    // The scheme of added and changed files; without one, added files are
    // stored unencoded and changed ones keep the scheme they had.
    std::optional<uint8_t> scheme;
    const Exclusions* exclusions = nullptr;  // items that are never removed
    // The pack file when it is on disk (its bytes are compared with the
    // tree's; it is never taken for a file of the tree); empty for a new pack.
    std::string packOnDisk;
};

struct SyncOutcome {
    std::vector<SyncChange> changes;  // in the order of the tree
    size_t unchanged = 0;             // files of the tree the pack holds as they are
    bool failed = false;              // a file of the tree could not be read (reported): nothing saved
    bool saved = false;
    bool saveFailed = false;  // reported by the saver
};

// Saves the changed catalogue, asking beforeCommit (when there is one)
// whether the new pack may replace the old one; false after a reported
// failure or when beforeCommit said no.
using PackSaver = std::function<bool(const std::function<bool()>& beforeCommit)>;

// Changes the archive's catalogue to hold the tree in `disk` and, when
// anything changed (or the pack is new), saves it with `save`; no saver
// for a dry run.
SyncOutcome SyncCatalogue(CPackArchive& archive, const Catalogue& disk, const SyncOptions& options, IPrompt& prompt,
                          const PackSaver& save);

}  // namespace tarvex
