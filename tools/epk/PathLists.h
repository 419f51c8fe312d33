#pragma once
// Path arguments that may name list files: "@FILE" stands for the paths FILE
// holds, one a line, so that a build script can hand over more paths than a
// command line takes.
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tarvex::epk {

// The arguments with every "@FILE" replaced by the lines of FILE, in order.
// A list is UTF-8 text; a byte order mark, the '\r' of "\r\n" line ends and
// blank lines are dropped, and its lines are taken as they stand (a line
// starting with '@' is a path). FILE is read as InputFile reads it: a pipe
// to its end, /dev/null as an empty list. Empty, reported, when a list cannot
// be read.
std::optional<std::vector<std::string>> ExpandPathLists(std::span<const std::string> args);

}  // namespace tarvex::epk
