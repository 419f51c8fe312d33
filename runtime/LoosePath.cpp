#include "runtime/LoosePath.h"

#include <optional>

#include "base/AppFolder.h"
#include "base/GbkText.h"
#include "platform/DiskPaths.h"

namespace tarvex {

LoosePath LooseFilePath(std::string_view root, std::string_view text, const std::vector<std::string>& components)
{
    if (!text.empty() && (text.front() == '/' || text.front() == '\\')) return {LooseLookup::Unsafe, {}};
    if (components.empty()) return {LooseLookup::Unnameable, {}};
    for (const std::string& component : components)
        if (component == "." || component == "..") return {LooseLookup::Unsafe, {}};
    std::string path(root.empty() ? "." : root);
    for (const std::string& component : components) {
        const std::optional<std::string> name = GbkToUtf8(component);
        if (!name || name->find('\0') != std::string::npos || !IsNameTheDiskTakes(*name))
            return {LooseLookup::Unnameable, {}};
        if (path.back() != '/') path += '/';
        path += *name;
    }
    return {LooseLookup::Path, std::move(path)};
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of(kPathSeparators);
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace tarvex
