#pragma once
// The in-memory model of the pack being edited: the folder tree, the file
// entries, the plug-in table and the records of the pack file on disk.
// Entry i and pack record i describe the same file while i is below the
// record count; every removal keeps the two arrays in step.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "format/PackRecords.h"

namespace tarvex {

// Slots of the catalogue's plug-in table: scheme codes 0x80..0xFF.
inline constexpr size_t kMaxPluginSlots = 128;

struct FileEntry {
    std::string name;        // GBK
    std::string sourcePath;  // the file on disk; empty when the bytes are in the pack
    uint32_t fileSize = 0;
    uint32_t encodedSize = kUnknownSize;
    uint32_t folderId = 0;
    uint8_t scheme = 0;
    uint32_t storedFileSize = kUnknownSize;
    uint32_t storedEncodedSize = kUnknownSize;
    uint8_t storedScheme = kNoStoredScheme;
    // A copy of a file of the pack on disk: it has no record of its own, its
    // bytes are those of the copied file.
    std::optional<StoredCopy> copyOf;
    // Names this entry whatever index it moves to, and is never given to
    // another entry of the same catalogue (the clipboard refers to entries by
    // index, which a removal or a save may hand to another entry). Handed
    // out by the catalogue; 0 until then.
    uint64_t identity = 0;

    // Its bytes are in the pack on disk, described by the record with its index.
    bool IsCarriedOver() const
    {
        return storedFileSize != kUnknownSize || storedEncodedSize != kUnknownSize;
    }
    // Its bytes come from the pack on disk (its own record or a copied one).
    bool FromPack() const { return IsCarriedOver() || copyOf.has_value(); }
};

struct PluginSlot {
    std::string providerName;
    std::string moduleFile;
    uint32_t version = 0;
};

struct Folder {
    std::string name;  // GBK
    uint16_t id = 0;
    // Names this folder for as long as it exists, and is never given to
    // another folder of the same catalogue (the clipboard refers to folders
    // by it).
    uint32_t handle = 0;
    Folder* parent = nullptr;
    std::vector<std::unique_ptr<Folder>> children;

    // Position among its parent's children; -1 for the root.
    int Row() const;
};

class Catalogue {
public:
    Catalogue();
    Catalogue(const Catalogue&) = delete;
    Catalogue& operator=(const Catalogue&) = delete;

    // A lone root named rootName (GBK), no entries, no plug-ins, no records,
    // folder-ID counter 0.
    void Reset(std::string rootName);

    // ---- folders
    Folder& Root() { return *root_; }
    const Folder& Root() const { return *root_; }
    Folder* FolderByHandle(uint32_t handle) const;
    Folder* FolderById(uint32_t id) const;
    size_t FolderCount() const { return byHandle_.size() - 1; }

    // The last folder ID handed out; new folders get the next one.
    uint16_t FolderCounter() const { return folderCounter_; }
    void SetFolderCounter(uint16_t value) { folderCounter_ = value; }

    // Appends a folder as the last child of parent. id < 0 takes a new ID from
    // the counter; nullptr when all 65535 IDs have been handed out.
    Folder* InsertFolder(std::string name, int32_t id, Folder& parent);
    // Removes a folder and its sub-folders from the tree (not their entries).
    void DetachFolder(Folder& folder);
    // Moves a folder with its subtree to the end of newParent's children.
    void Reparent(Folder& folder, Folder& newParent);
    bool IsSameOrBelow(const Folder& folder, const Folder& ancestor) const;
    // Folder names from below the root down to folder.
    std::vector<const Folder*> PathOf(const Folder& folder) const;

    // ---- file entries
    std::vector<FileEntry>& Entries() { return entries_; }
    const std::vector<FileEntry>& Entries() const { return entries_; }
    size_t AppendEntry(FileEntry entry);
    // The index of the entry with this identity; empty when it is gone.
    std::optional<size_t> EntryIndexOf(uint64_t identity, size_t hint = SIZE_MAX) const;
    // Moves the last entry into place i, keeping entry and record indices in step.
    void RemoveEntry(size_t i);
    // Whether an entry of the folder other than `skip` has exactly this name.
    bool FolderHasFile(uint32_t folderId, const std::string& name, size_t skip = SIZE_MAX) const;
    // The names of the folder's files, for adding many files to it without
    // a scan of every entry for each.
    std::unordered_set<std::string> FileNamesIn(uint32_t folderId) const;

    // ---- pack records
    const std::vector<PackRecord>& Records() const { return records_; }
    // If i < record count: record i := last record, one record fewer.
    void RemoveRecord(size_t i);

    // ---- plug-in table
    std::vector<PluginSlot>& Plugins() { return plugins_; }
    const std::vector<PluginSlot>& Plugins() const { return plugins_; }
    // The scheme code of the slot for (provider name, version), appending a
    // slot when there is none; empty when all 128 slots are taken.
    std::optional<uint8_t> AddPlugin(const std::string& moduleFile, const std::string& providerName,
                                     uint32_t version);

    // ---- used by the reader and the writer
    void ReplaceEntries(std::vector<FileEntry> entries);
    void ReplaceRecords(std::vector<PackRecord> records) { records_ = std::move(records); }
    void ReplacePlugins(std::vector<PluginSlot> plugins) { plugins_ = std::move(plugins); }
    // Rebuilds every entry as a carried-over entry of the records. When the
    // records were written from the entries (one each, in order), entry i
    // stays the same entry and keeps its identity.
    void EntriesFromRecords();

private:
    void Forget(Folder& folder);

    std::unique_ptr<Folder> root_;
    std::unordered_map<uint32_t, Folder*> byHandle_;
    uint32_t nextHandle_ = 1;
    uint64_t nextIdentity_ = 1;
    uint16_t folderCounter_ = 0;
    std::vector<FileEntry> entries_;
    std::vector<PackRecord> records_;
    std::vector<PluginSlot> plugins_;
};

// The source text of a carried-over entry: "<包内文件> " and its name.
std::string PackedSourceText(const std::string& gbkName);

}  // namespace tarvex
