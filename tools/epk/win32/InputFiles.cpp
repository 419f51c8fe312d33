#include "tools/epk/InputFiles.h"

#include <windows.h>

#include <cerrno>
#include <initializer_list>

#include "base/SystemErrorText.h"
#include "platform/DiskPaths.h"
#include "platform/win32/WidePath.h"
#include "platform/win32/WindowsErrors.h"

namespace tarvex::epk {
namespace {

// Whether path is one of the names, letter case aside.
bool IsOneOf(const std::string& path, std::initializer_list<const char*> names)
{
    for (const char* name : names)
        if (::lstrcmpiA(path.c_str(), name) == 0) return true;
    return false;
}

bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return ::GetConsoleMode(handle, &mode);
}

}  // namespace

bool InputFile::Fail(std::string reason)
{
    error_ = std::move(reason);
    return false;
}

bool InputFile::Open(const std::string& path)
{
    if (IsOneOf(path, {"/dev/null", "NUL"})) {
        kind_ = InputKind::Null;
        return true;
    }
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (IsOneOf(path, {"/dev/tty", "CON", "CONIN$"})) {
        handle = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    } else if (IsOneOf(path, {"/dev/stdin"})) {
        const HANDLE process = ::GetCurrentProcess();
        if (!::DuplicateHandle(process, ::GetStdHandle(STD_INPUT_HANDLE), process, &handle, 0, FALSE,
                               DUPLICATE_SAME_ACCESS))
            handle = INVALID_HANDLE_VALUE;
    } else {
        // Only a regular file or a named pipe: what is there is looked at
        // before anything is opened.
        PathStatus status;
        std::string error;
        switch (LookAtPath(path, status, error)) {
            case PathState::Missing:
                return Fail(SystemErrorText(ENOENT));
            case PathState::Failed:
                return Fail(error);
            case PathState::Found:
                break;
        }
        if (status.kind != FileKind::Regular && status.kind != FileKind::Pipe)
            return Fail(NotRegularFileText(status.kind));
        if (const std::optional<std::wstring> wide = WidePath(path))
            handle = ::CreateFileW(wide->c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (handle == INVALID_HANDLE_VALUE) return Fail(LastErrorText());
    file_.Adopt(handle);
    kind_ = IsConsole(handle) ? InputKind::Terminal : InputKind::Text;
    return true;
}

std::optional<std::string> InputFile::ReadToEnd()
{
    std::string text;
    if (kind_ == InputKind::Null) return text;
    char piece[1 << 16];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(static_cast<HANDLE>(file_.Native()), piece, sizeof piece, &got, nullptr)) {
            // A pipe whose writer has gone has ended.
            if (::GetLastError() == ERROR_BROKEN_PIPE || ::GetLastError() == ERROR_HANDLE_EOF) return text;
            Fail(LastErrorText());
            return std::nullopt;
        }
        if (got == 0) return text;
        text.append(piece, got);
    }
}

}  // namespace tarvex::epk
