#pragma once
// What the pack paths a user types name, for the commands that take them:
// looked up as the pack's own lookups do (exact names), or, for a shell
// pattern, matched against every path of the pack; with the messages for a
// path that names nothing or too much.
#include <optional>
#include <string>
#include <vector>

#include "catalogue/PackPaths.h"
#include "talk/Prompt.h"

namespace tarvex::epk {

// Whether a typed path is a shell pattern: it holds '*', '?' or '[' and
// wildcards are on (no --no-wildcards).
bool IsPattern(const std::string& path, bool wildcards);

// What the path names; reports, and gives nothing, when it names nothing.
std::optional<PathTarget> FindNamed(Catalogue& catalogue, const std::string& path, IPrompt& prompt);
// The same, refusing (reported) a path that names both a folder and a file.
std::optional<PathTarget> FindOneNamed(Catalogue& catalogue, const std::string& path, IPrompt& prompt);

// What a typed path or pattern picks. A plain path gives what FindOneNamed
// (or, with filesFirst, FindNamed) finds. A pattern is matched as --exclude
// matches (ShellPattern: '*' matching '/' too) against the path of every folder and file, written
// with '/' between folders and without escapes; one ending in '/' matches
// folders only. It gives one target per folder that matches, in the order
// of the tree, then one per file, in entry order. Nothing, reported as a
// missing path, when nothing matches.
std::vector<PathTarget> FindTargets(Catalogue& catalogue, const std::string& path, bool wildcards, IPrompt& prompt,
                                    bool filesFirst = false);

// Files below a folder, its sub-folders included, in entry order.
std::vector<size_t> FilesBelow(const Catalogue& catalogue, const Folder& folder);

}  // namespace tarvex::epk
