#include "pack/SavePlan.h"

#include <algorithm>
#include <array>

#include "base/GbkText.h"
#include "talk/Messages.h"

namespace tarvex {
namespace {

bool Refuse(IPrompt& prompt, const std::string& text)
{
    prompt.Tell(text, MsgIcon::Error);
    return false;
}

}  // namespace

bool SavePlan::Make(const KeySchedule& keys, IPrompt& prompt)
{
    CompactPlugins();
    return CheckLimits(keys, prompt);
}

bool SavePlan::CheckLimits(const KeySchedule& keys, IPrompt& prompt) const
{
    const auto utf8 = [](const std::string& gbk) { return GbkToUtf8Lossy(gbk); };
    if (!KeysUsable(keys)) return Refuse(prompt, msg::kPasswordUnusable);
    if (catalogue_.FolderCount() > kMaxPackFolders)
        return Refuse(prompt, Printf(msg::kTooManyFolders, static_cast<int>(catalogue_.FolderCount())));
    if (plugins_.size() > kMaxPackPlugins)
        return Refuse(prompt, Printf(msg::kTooManyPlugins, static_cast<int>(plugins_.size())));
    for (const PluginSlot& slot : plugins_) {
        for (const std::string* name : {&slot.providerName, &slot.moduleFile})
            if (name->size() > kMaxNameBytes) return Refuse(prompt, Printf(msg::kNameTooLong, utf8(*name).c_str()));
    }

    std::vector<bool> inTree(0x10000, false);  // folder IDs of the tree, looked up for every entry
    std::vector<const Folder*> pending{&catalogue_.Root()};
    while (!pending.empty()) {
        const Folder* folder = pending.back();
        pending.pop_back();
        if (folder->parent && folder->name.size() > kMaxNameBytes)
            return Refuse(prompt, Printf(msg::kNameTooLong, utf8(folder->name).c_str()));
        inTree[folder->parent ? folder->id : 0] = true;
        for (const auto& child : folder->children) pending.push_back(child.get());
    }
    for (const FileEntry& e : catalogue_.Entries()) {
        if (e.name.size() > kMaxNameBytes) return Refuse(prompt, Printf(msg::kNameTooLong, utf8(e.name).c_str()));
        if (e.fileSize == kUnknownSize) return Refuse(prompt, Printf(msg::kFileTooLarge, utf8(e.name).c_str()));
        if (e.folderId >= inTree.size() || !inTree[e.folderId]) return Refuse(prompt, msg::kDamaged);
        if (e.scheme >= 0x80 && static_cast<size_t>(e.scheme - 0x80) >= catalogue_.Plugins().size())
            return Refuse(prompt, Printf(msg::kUnknownScheme, utf8(e.name).c_str()));
    }
    return true;
}

void SavePlan::CompactPlugins()
{
    const auto& slots = catalogue_.Plugins();
    std::vector<bool> used(slots.size(), false);
    for (const FileEntry& e : catalogue_.Entries())
        if (e.scheme >= 0x80 && static_cast<size_t>(e.scheme - 0x80) < slots.size()) used[e.scheme - 0x80] = true;
    slotMap_.assign(128, 0);
    for (size_t k = 0; k < slots.size(); ++k) {
        if (!used[k]) continue;
        slotMap_[k] = static_cast<uint8_t>(plugins_.size());
        plugins_.push_back(slots[k]);
    }
}

StoredCopy SavePlan::CopyOf(size_t index) const
{
    const FileEntry& entry = catalogue_.Entries()[index];
    return entry.IsCarriedOver() ? catalogue_.Records()[index].Location() : *entry.copyOf;
}

bool SavePlan::CarriesFromPack() const
{
    const auto& entries = catalogue_.Entries();
    return std::any_of(entries.begin(), entries.end(), [](const FileEntry& e) { return e.FromPack(); });
}

void SavePlan::PlanRoutes()
{
    const auto& entries = catalogue_.Entries();
    std::array<bool, 256> anyThread{};
    for (unsigned s = 0; s < 256; ++s) anyThread[s] = coder_.ThreadSafe(static_cast<uint8_t>(s));
    routes_.resize(entries.size());
    onCaller_.resize(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const FileEntry& entry = entries[i];
        if (entry.FromPack()) {
            const uint8_t oldScheme = CopyOf(i).scheme;
            routes_[i] = entry.scheme == oldScheme ? Route::FromPack : Route::Produced;
            onCaller_[i] = routes_[i] == Route::FromPack || !anyThread[entry.scheme] || !anyThread[oldScheme];
        } else if (entry.scheme == 0) {
            routes_[i] = entry.fileSize >= kStreamedFileBytes ? Route::FromSource : Route::Produced;
            onCaller_[i] = routes_[i] == Route::FromSource;
        } else {
            routes_[i] = entry.fileSize >= kStreamEncodedBytes && coder_.Streams(entry.scheme)
                             ? Route::EncodedFromSource
                             : Route::Produced;
            onCaller_[i] = routes_[i] == Route::EncodedFromSource || !anyThread[entry.scheme];
        }
    }
}

// At least a page: its bytes, and the encoded (or the stored) bytes beside
// them while it is encoded (decoded).
uint64_t SavePlan::Weight(size_t index) const
{
    const FileEntry& entry = catalogue_.Entries()[index];
    const uint64_t size = entry.fileSize;
    uint64_t weight = entry.scheme == 0 ? size : 2 * size;
    if (entry.FromPack()) weight = std::max<uint64_t>(size, CopyOf(index).storedSize) + size;
    return std::max<uint64_t>(weight, 4096);
}

}  // namespace tarvex
