#include "tools/epk/Exclusions.h"

#include <algorithm>
#include <fnmatch.h>

#include "archive/GbkText.h"

namespace tarvex::epk {

bool Exclusions::Excludes(std::string_view utf8PackPath) const
{
    if (patterns_.empty()) return false;
    const std::string path(utf8PackPath);
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return std::any_of(patterns_.begin(), patterns_.end(), [&](const std::string& pattern) {
        if (::fnmatch(pattern.c_str(), path.c_str(), 0) == 0) return true;
        return pattern.find('/') == std::string::npos && ::fnmatch(pattern.c_str(), name.c_str(), 0) == 0;
    });
}

std::string PatternPrefix(const Folder& folder)
{
    std::string prefix;
    for (const Folder* f = &folder; f->parent; f = f->parent) prefix = GbkToUtf8Lossy(f->name) + "/" + prefix;
    return prefix;
}

}  // namespace tarvex::epk
