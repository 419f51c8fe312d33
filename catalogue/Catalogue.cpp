#include "catalogue/Catalogue.h"

#include <algorithm>

#include "base/GbkText.h"
#include "talk/Messages.h"

namespace tarvex {

int Folder::Row() const
{
    if (!parent) return -1;
    const auto& siblings = parent->children;
    for (size_t i = 0; i < siblings.size(); ++i)
        if (siblings[i].get() == this) return static_cast<int>(i);
    return -1;
}

Catalogue::Catalogue()
{
    Reset("");
}

void Catalogue::Reset(std::string rootName)
{
    byHandle_.clear();
    root_ = std::make_unique<Folder>();
    root_->name = std::move(rootName);
    root_->id = 0;
    root_->handle = nextHandle_++;
    byHandle_[root_->handle] = root_.get();
    folderCounter_ = 0;
    entries_.clear();
    entries_.shrink_to_fit();
    records_.clear();
    plugins_.clear();
}

Folder* Catalogue::FolderByHandle(uint32_t handle) const
{
    const auto it = byHandle_.find(handle);
    return it == byHandle_.end() ? nullptr : it->second;
}

Folder* Catalogue::FolderById(uint32_t id) const
{
    if (id == 0) return root_.get();
    for (const auto& [handle, folder] : byHandle_)
        if (folder->id == id && folder != root_.get()) return folder;
    return nullptr;
}

Folder* Catalogue::InsertFolder(std::string name, int32_t id, Folder& parent)
{
    uint16_t folderId;
    if (id < 0) {
        if (folderCounter_ == 0xFFFF) return nullptr;
        folderId = ++folderCounter_;
    } else {
        folderId = static_cast<uint16_t>(id);
    }
    auto folder = std::make_unique<Folder>();
    folder->name = std::move(name);
    folder->id = folderId;
    folder->handle = nextHandle_++;
    folder->parent = &parent;
    Folder* raw = folder.get();
    byHandle_[raw->handle] = raw;
    parent.children.push_back(std::move(folder));
    return raw;
}

void Catalogue::Forget(Folder& folder)
{
    for (auto& child : folder.children) Forget(*child);
    byHandle_.erase(folder.handle);
}

void Catalogue::DetachFolder(Folder& folder)
{
    if (!folder.parent) return;
    Forget(folder);
    auto& siblings = folder.parent->children;
    siblings.erase(std::find_if(siblings.begin(), siblings.end(),
                                [&](const auto& p) { return p.get() == &folder; }));
}

void Catalogue::Reparent(Folder& folder, Folder& newParent)
{
    if (!folder.parent) return;
    auto& siblings = folder.parent->children;
    const auto it = std::find_if(siblings.begin(), siblings.end(),
                                 [&](const auto& p) { return p.get() == &folder; });
    std::unique_ptr<Folder> owned = std::move(*it);
    siblings.erase(it);
    owned->parent = &newParent;
    newParent.children.push_back(std::move(owned));
}

bool Catalogue::IsSameOrBelow(const Folder& folder, const Folder& ancestor) const
{
    for (const Folder* f = &folder; f; f = f->parent)
        if (f == &ancestor) return true;
    return false;
}

std::vector<const Folder*> Catalogue::PathOf(const Folder& folder) const
{
    std::vector<const Folder*> path;
    for (const Folder* f = &folder; f && f->parent; f = f->parent) path.push_back(f);
    std::reverse(path.begin(), path.end());
    return path;
}

size_t Catalogue::AppendEntry(FileEntry entry)
{
    entry.identity = nextIdentity_++;
    entries_.push_back(std::move(entry));
    return entries_.size() - 1;
}

std::optional<size_t> Catalogue::EntryIndexOf(uint64_t identity, size_t hint) const
{
    if (identity == 0) return std::nullopt;
    if (hint < entries_.size() && entries_[hint].identity == identity) return hint;
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].identity == identity) return i;
    return std::nullopt;
}

void Catalogue::RemoveEntry(size_t i)
{
    if (i >= entries_.size()) return;
    const size_t last = entries_.size() - 1;
    if (i < records_.size()) {
        if (last < records_.size()) {
            RemoveRecord(i);
        } else {
            // The entry moving into place i was added after the pack was read
            // and has no record: the record of the removed entry must not be
            // taken for its own, and the records above i keep their entries.
            records_[i] = PackRecord{};
        }
    }
    if (i != last) entries_[i] = std::move(entries_[last]);
    entries_.pop_back();
}

void Catalogue::RemoveRecord(size_t i)
{
    if (i >= records_.size()) return;
    if (i != records_.size() - 1) records_[i] = std::move(records_.back());
    records_.pop_back();
}

bool Catalogue::FolderHasFile(uint32_t folderId, const std::string& name, size_t skip) const
{
    for (size_t i = 0; i < entries_.size(); ++i)
        if (i != skip && entries_[i].folderId == folderId && entries_[i].name == name) return true;
    return false;
}

std::unordered_set<std::string> Catalogue::FileNamesIn(uint32_t folderId) const
{
    std::unordered_set<std::string> names;
    for (const FileEntry& entry : entries_)
        if (entry.folderId == folderId) names.insert(entry.name);
    return names;
}

std::optional<uint8_t> Catalogue::AddPlugin(const std::string& moduleFile,
                                            const std::string& providerName, uint32_t version)
{
    for (size_t k = 0; k < plugins_.size(); ++k) {
        if (plugins_[k].providerName == providerName && plugins_[k].version == version) {
            plugins_[k].moduleFile = moduleFile;
            return static_cast<uint8_t>(0x80 + k);
        }
    }
    if (plugins_.size() >= kMaxPluginSlots) return std::nullopt;
    plugins_.push_back({providerName, moduleFile, version});
    return static_cast<uint8_t>(0x80 + plugins_.size() - 1);
}

void Catalogue::ReplaceEntries(std::vector<FileEntry> entries)
{
    for (FileEntry& entry : entries)
        if (entry.identity == 0) entry.identity = nextIdentity_++;
    entries_ = std::move(entries);
}

void Catalogue::EntriesFromRecords()
{
    // Records written from the entries (one each, in order) rebuild them in
    // place, each keeping its identity: a second array of a pack's worth of
    // entries would only add to the memory of a save.
    const bool sameEntries = records_.size() == entries_.size();
    std::vector<FileEntry> rebuilt;
    if (!sameEntries) rebuilt.reserve(records_.size());
    for (size_t i = 0; i < records_.size(); ++i) {
        const PackRecord& r = records_[i];
        FileEntry e;
        e.name = r.name;
        e.fileSize = r.fileSize;
        e.encodedSize = r.storedSize;
        e.folderId = r.folderId;
        e.scheme = r.scheme;
        e.storedFileSize = r.fileSize;
        e.storedEncodedSize = r.storedSize;
        e.storedScheme = r.scheme;
        if (sameEntries) {
            e.identity = entries_[i].identity;
            entries_[i] = std::move(e);
        } else {
            rebuilt.push_back(std::move(e));
        }
    }
    if (!sameEntries) ReplaceEntries(std::move(rebuilt));
}

std::string PackedSourceText(const std::string& gbkName)
{
    return msg::kPackedSource + GbkToUtf8Lossy(gbkName);
}

}  // namespace tarvex
