#include "tools/epk/Console.h"

#include <cstdio>

namespace tarvex::epk {

void Print(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void PrintErr(const std::string& text)
{
    std::fflush(stdout);
    std::fwrite(text.data(), 1, text.size(), stderr);
}

}  // namespace tarvex::epk
