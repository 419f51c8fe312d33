#pragma once
// What the pack paths a user types name, for the commands that take them:
// looked up as the pack's own lookups do (exact names), with the messages
// for a path that names nothing or too much.
#include <optional>
#include <string>
#include <vector>

#include "catalogue/PackPaths.h"
#include "talk/Prompt.h"

namespace tarvex::epk {

// What the path names; reports, and gives nothing, when it names nothing.
std::optional<PathTarget> FindNamed(Catalogue& catalogue, const std::string& path, IPrompt& prompt);
// The same, refusing (reported) a path that names both a folder and a file.
std::optional<PathTarget> FindOneNamed(Catalogue& catalogue, const std::string& path, IPrompt& prompt);

// Files below a folder, its sub-folders included, in entry order.
std::vector<size_t> FilesBelow(const Catalogue& catalogue, const Folder& folder);

}  // namespace tarvex::epk
