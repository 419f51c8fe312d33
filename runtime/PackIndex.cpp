#include "runtime/PackIndex.h"

#include "base/GbkText.h"
#include "catalogue/PackPaths.h"
#include "runtime/CallerText.h"

namespace tarvex {
namespace {

std::string Key(const std::vector<std::string>& components)
{
    std::string key;
    for (const std::string& c : components) {
        if (!key.empty()) key += '\\';
        key += c;
    }
    return key;
}

}  // namespace

PackIndex::PackIndex(const Catalogue& catalogue)
{
    const auto folderPaths = FolderPathsById(catalogue);
    const auto& entries = catalogue.Entries();
    byPath_.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        byPath_.emplace(Key(SplitGbkPath(EntryPackPath(folderPaths, entries[i]))), i);
}

std::optional<size_t> PackIndex::Find(const std::vector<std::string>& components) const
{
    if (components.empty()) return std::nullopt;
    const auto it = byPath_.find(Key(components));
    if (it == byPath_.end()) return std::nullopt;
    return it->second;
}

PathReading ResolvePackPath(std::string_view text, const PackIndex& index)
{
    PathReading asGiven{SplitGbkPath(text), std::nullopt, false};
    asGiven.entry = index.Find(asGiven.components);
    const std::optional<std::string> converted = Utf8ReadingAsGbk(text);
    if (!converted) return asGiven;
    PathReading asUtf8{SplitGbkPath(*converted), std::nullopt, false};
    asUtf8.entry = index.Find(asUtf8.components);
    if (!asGiven.entry) return asUtf8;
    if (asUtf8.entry && *asUtf8.entry != *asGiven.entry) {
        asGiven.entry.reset();
        asGiven.ambiguous = true;
    }
    return asGiven;
}

}  // namespace tarvex
