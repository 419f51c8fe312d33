#pragma once
// Patterns that leave items out of a directory import and out of sync's
// removals (epk's --exclude): shell patterns (ShellPattern.h), matched against an
// item's path inside the pack, written with '/' between folders.
// '*' also matches '/', and a pattern without '/' is also matched against the
// item's own name, so "*.tmp" and ".git" leave such items out at any depth.
// A folder left out takes everything below it along.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue/Catalogue.h"
#include "catalogue/DirectoryImport.h"

namespace tarvex {

class Exclusions {
public:
    explicit Exclusions(std::vector<std::string> patterns) : patterns_(std::move(patterns)) {}

    bool Empty() const { return patterns_.empty(); }
    // utf8PackPath: folders and name separated by '/', no leading '/'.
    bool Excludes(std::string_view utf8PackPath) const;
    // The filter of a directory import into the pack folder whose pattern
    // path is prefix ("" for the root, else "a/b/"); none without patterns.
    ImportFilter Filter(std::string prefix = {}) const;

private:
    std::vector<std::string> patterns_;
};

// The path a folder's items have inside the pack, as the patterns see it:
// "" for the root, else "a/b/".
std::string PatternPrefix(const Folder& folder);

}  // namespace tarvex
