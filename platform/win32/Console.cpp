#include "platform/Console.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>

#include "base/Printf.h"
#include "base/win32/WideText.h"

namespace tarvex {
namespace {

// The console behind a standard stream; null when the stream goes to a
// file, a pipe or nowhere.
HANDLE ConsoleOf(std::FILE* stream)
{
    const intptr_t handle = ::_get_osfhandle(::_fileno(stream));
    DWORD mode = 0;
    if (handle == -1 || !::GetConsoleMode(reinterpret_cast<HANDLE>(handle), &mode)) return nullptr;
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

std::string ConsoleCodeset()
{
    const UINT console = ::GetConsoleOutputCP();
    return Printf("CP%u", console != 0 ? console : ::GetACP());
}

ConsoleWrite WriteToConsole(std::FILE* stream, std::string_view utf8)
{
    const HANDLE console = ConsoleOf(stream);
    if (!console) return ConsoleWrite::NotAConsole;
    std::fflush(stream);
    // Bytes that are not UTF-8 show as U+FFFD.
    std::wstring text(utf8.size(), L'\0');
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(),
                                             static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(std::max(length, 0)));
    std::wstring_view rest = text;
    while (!rest.empty()) {
        DWORD written = 0;
        const auto step = static_cast<DWORD>(std::min<size_t>(rest.size(), 16384));
        if (!::WriteConsoleW(console, rest.data(), step, &written, nullptr) || written == 0)
            return ConsoleWrite::Failed;
        rest.remove_prefix(written);
    }
    return ConsoleWrite::Written;
}

bool CanDrawProgress(std::FILE* stream)
{
    const HANDLE console = ConsoleOf(stream);
    DWORD mode = 0;
    return console && ::GetConsoleMode(console, &mode) &&
           ::SetConsoleMode(console, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

void UseBinaryStandardStreams()
{
    for (std::FILE* stream : {stdin, stdout, stderr}) ::_setmode(::_fileno(stream), _O_BINARY);
}

}  // namespace tarvex
