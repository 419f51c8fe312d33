#include "platform/Console.h"

#include <windows.h>
#include <shellapi.h>

#include "base/win32/WideText.h"

namespace tarvex {

// A file of its own: only programs that take arguments link the shell's
// library for them (a game loading rq_file.dll does not).
std::vector<std::string> ProgramArguments(int argc, char** argv)
{
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv + 1, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(Utf8FromWide(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

}  // namespace tarvex
