#include "tools/epk/ListedPaths.h"

#include <algorithm>

#include "base/GbkText.h"
#include "catalogue/PackPaths.h"

namespace tarvex::epk {
namespace {

bool NeedsEscape(unsigned char c)
{
    return c < 0x20 || c == 0x7F || c == '\\';
}

void AppendName(std::string& out, std::string_view gbkName, PathStyle style)
{
    const size_t from = out.size();
    AppendGbkAsUtf8Lossy(out, gbkName);
    if (style.escaped) EscapeFrom(out, from);
}

}  // namespace

void EscapeFrom(std::string& text, size_t from)
{
    if (std::none_of(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(),
                     [](char c) { return NeedsEscape(static_cast<unsigned char>(c)); }))
        return;
    std::string escaped;
    for (size_t i = from; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!NeedsEscape(c)) {
            escaped += static_cast<char>(c);
            continue;
        }
        escaped += '\\';
        switch (c) {
            case '\\':
                escaped += '\\';
                break;
            case '\t':
                escaped += 't';
                break;
            case '\n':
                escaped += 'n';
                break;
            case '\r':
                escaped += 'r';
                break;
            default:
                escaped += static_cast<char>('0' + (c >> 6));
                escaped += static_cast<char>('0' + ((c >> 3) & 7));
                escaped += static_cast<char>('0' + (c & 7));
        }
    }
    text.replace(from, std::string::npos, escaped);
}

std::string ListedPath(const std::vector<std::string>& names, PathStyle style)
{
    std::string path;
    for (const std::string& name : names) {
        if (!path.empty()) path += style.separator;
        const size_t from = path.size();
        path += name;
        if (style.escaped) EscapeFrom(path, from);
    }
    return path;
}

std::string ListedPath(const Folder& folder, PathStyle style)
{
    if (!folder.parent) return std::string(1, style.separator);
    std::vector<const Folder*> chain;
    for (const Folder* f = &folder; f->parent; f = f->parent) chain.push_back(f);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty()) path += style.separator;
        AppendName(path, (*it)->name, style);
    }
    return path;
}

std::string ListedPath(const Catalogue& catalogue, size_t entry, PathStyle style)
{
    const FileEntry& e = catalogue.Entries()[entry];
    const Folder* folder = catalogue.FolderById(e.folderId);
    std::string path = folder && folder->parent ? ListedPath(*folder, style) + style.separator : std::string();
    AppendName(path, e.name, style);
    return path;
}

ListedPaths::ListedPaths(const Catalogue& catalogue, PathStyle style) : style_(style)
{
    prefixes_[0] = "";
    std::vector<const Folder*> pending{&catalogue.Root()};
    while (!pending.empty()) {
        const Folder* folder = pending.back();
        pending.pop_back();
        const std::string& prefix = prefixes_[folder->id];
        for (const auto& child : folder->children) {
            std::string path = prefix;
            AppendName(path, child->name, style);
            path += style.separator;
            prefixes_[child->id] = std::move(path);
            pending.push_back(child.get());
        }
    }
}

void ListedPaths::Append(std::string& out, const FileEntry& entry) const
{
    const auto it = prefixes_.find(entry.folderId);
    if (it != prefixes_.end()) out += it->second;
    AppendName(out, entry.name, style_);
}

std::string ListedPaths::Of(const FileEntry& entry) const
{
    std::string path;
    Append(path, entry);
    return path;
}

}  // namespace tarvex::epk
