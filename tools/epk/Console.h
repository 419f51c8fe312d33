#pragma once
// Output of epk: results on stdout, messages on stderr, both UTF-8.
#include <string>

namespace tarvex::epk {

void Print(const std::string& text);
void PrintErr(const std::string& text);
// True when path is a folder; otherwise says so on stderr.
bool IsFolderOrSay(const std::string& path);

}  // namespace tarvex::epk
