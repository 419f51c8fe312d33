#pragma once
// Output of epk: results on stdout, messages on stderr, both UTF-8.
#include <string>

namespace tarvex::epk {

void Print(const std::string& text);
void PrintErr(const std::string& text);

}  // namespace tarvex::epk
