#include "tools/epk/Terminal.h"

#include <windows.h>

#include "base/win32/WideText.h"
#include "platform/win32/WindowsErrors.h"

namespace tarvex::epk {
namespace {

// Shows a text on the console; what cannot be shown does not stop the
// question, whose answer is still read.
void Show(std::string_view utf8)
{
    const HANDLE output = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    if (output == INVALID_HANDLE_VALUE) return;
    const std::wstring text = WideFromUtf8(utf8).value_or(std::wstring());
    DWORD written = 0;
    ::WriteConsoleW(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(output);
}

}  // namespace

bool OpenSessionTerminal(File& terminal)
{
    DWORD mode = 0;
    if (!::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode)) return false;
    const HANDLE input = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    if (input == INVALID_HANDLE_VALUE) return false;
    terminal.Adopt(input);
    return true;
}

std::optional<std::string> ReadHiddenLine(File& terminal, std::string_view question, std::string& error)
{
    const HANDLE input = static_cast<HANDLE>(terminal.Native());
    DWORD saved = 0;
    if (!::GetConsoleMode(input, &saved)) {
        error = LastErrorText();
        return std::nullopt;
    }
    // Echo goes off (and what was typed before is dropped) before the
    // question shows: an answer typed once it shows is all kept.
    ::SetConsoleMode(input, (saved | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~DWORD{ENABLE_ECHO_INPUT});
    ::FlushConsoleInputBuffer(input);
    Show(question);
    std::wstring line;
    wchar_t c = 0;
    DWORD got = 0;
    while (::ReadConsoleW(input, &c, 1, &got, nullptr) && got == 1 && c != L'\n')
        if (c != L'\r') line += c;
    ::SetConsoleMode(input, saved);
    Show("\n");
    return Utf8FromWide(line);
}

}  // namespace tarvex::epk
