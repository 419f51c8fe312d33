#pragma once
// Output of epk: results on stdout, messages on stderr, both UTF-8.
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
void PrintErr(std::string_view text);
// True when path is a folder; otherwise says so on stderr.
bool IsFolderOrSay(const std::string& path);

// Flushes and closes standard output at the end of a command: the exit
// status, 1 instead of 0 when anything written to standard output was lost.
int FinishOutput(int status);

}  // namespace tarvex::epk
