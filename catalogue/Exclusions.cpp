#include "catalogue/Exclusions.h"

#include <algorithm>

#include "base/AppFolder.h"
#include "base/GbkText.h"
#include "catalogue/ShellPattern.h"

namespace tarvex {

ImportFilter Exclusions::Filter(std::string prefix) const
{
    if (patterns_.empty()) return {};
    return [this, prefix = std::move(prefix)](std::string_view relative) {
        return Excludes(prefix + std::string(relative));
    };
}

bool Exclusions::Excludes(std::string_view utf8PackPath) const
{
    if (patterns_.empty()) return false;
    const std::string path(utf8PackPath);
    const std::string name(NameOfPath(path));
    return std::any_of(patterns_.begin(), patterns_.end(), [&](const std::string& pattern) {
        if (MatchesShellPattern(pattern, path)) return true;
        return pattern.find('/') == std::string::npos && MatchesShellPattern(pattern, name);
    });
}

std::string PatternPrefix(const Folder& folder)
{
    std::string prefix;
    for (const Folder* f = &folder; f->parent; f = f->parent) prefix = GbkToUtf8Lossy(f->name) + "/" + prefix;
    return prefix;
}

}  // namespace tarvex
