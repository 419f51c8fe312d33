#pragma once
// Output of epk: results on stdout, messages on stderr, both UTF-8.
//
// Every line of a message starts with "epk: ", so that in a pipeline one
// can tell which program spoke; names in epk's own messages are quoted
// “…”. The texts of the core it passes on keep their own words.
//
// Standard output is checked: the first write or flush that fails is
// reported on stderr ("无法写到标准输出！" and the reason), nothing more is
// written to it, and the exit status becomes 1 (FinishOutput). A reader that
// has gone away (a closed pipe, as with `| head`) ends the output without a
// word: the default SIGPIPE ends the program first, as it ends other tools,
// and when SIGPIPE is ignored the failed write does.
#include <string>
#include <string_view>

namespace tarvex::epk {

// False once standard output has failed.
bool Print(std::string_view text);
// A message on stderr: each of its lines gets the program's name in front,
// and the last one a line break if it lacks one.
void PrintErr(std::string_view text);
// Text on stderr as it stands: the progress line a terminal redraws.
void DrawErr(std::string_view text);
// “name”: a name as epk's messages quote it.
std::string Quoted(std::string_view name);
// True when path is a folder; otherwise says so on stderr.
bool IsFolderOrSay(const std::string& path);

// Flushes and closes standard output at the end of a command: the exit
// status, 1 instead of 0 when anything written to standard output was lost.
int FinishOutput(int status);

}  // namespace tarvex::epk
