#include "tools/epk/StandardStreams.h"

#include <windows.h>

#include <vector>

#include "base/win32/WideText.h"
#include "platform/win32/WidePath.h"
#include "platform/win32/WindowsErrors.h"

namespace tarvex::epk {
namespace {

// A file in the temporary folder that Windows removes once it is closed.
bool OpenNamelessFile(File& file, std::string& error)
{
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    if (::GetTempPathW(MAX_PATH + 1, folder) == 0 || ::GetTempFileNameW(folder, L"epk", 0, name) == 0) {
        error = LastErrorText();
        return false;
    }
    const HANDLE handle = ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastErrorText();
        ::DeleteFileW(name);
        return false;
    }
    file.Adopt(handle);
    return true;
}

bool CopyToEnd(HANDLE from, File& to, std::string& error)
{
    std::vector<uint8_t> piece(1 << 20);
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(from, piece.data(), static_cast<DWORD>(piece.size()), &n, nullptr)) {
            // The writer of a pipe closed it: that is its end.
            if (::GetLastError() == ERROR_BROKEN_PIPE) return true;
            error = LastErrorText();
            return false;
        }
        if (n == 0) return true;
        if (!to.WriteAll(std::span(piece).first(n))) {
            error = to.Error();
            return false;
        }
    }
}

}  // namespace

std::shared_ptr<HeldPack> PackFromStandardInput(std::string& error)
{
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    const HANDLE process = ::GetCurrentProcess();
    File file;
    if (::GetFileType(input) == FILE_TYPE_DISK) {
        HANDLE copy = nullptr;
        if (!::DuplicateHandle(process, input, process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
            error = LastErrorText();
            return nullptr;
        }
        file.Adopt(copy);
    } else if (!OpenNamelessFile(file, error) || !CopyToEnd(input, file, error)) {
        return nullptr;
    }
    return HeldPack::Adopt(std::move(file), kStandardStream, error);
}

bool StandardOutputIsTerminal()
{
    return ::GetFileType(::GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_CHAR;
}

std::string FileOnStandardOutput()
{
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (::GetFileType(output) != FILE_TYPE_DISK) return {};
    std::wstring path(MAX_PATH, L'\0');
    DWORD n = ::GetFinalPathNameByHandleW(output, path.data(), static_cast<DWORD>(path.size()), VOLUME_NAME_DOS);
    if (n >= path.size()) {
        path.resize(n);
        n = ::GetFinalPathNameByHandleW(output, path.data(), static_cast<DWORD>(path.size()), VOLUME_NAME_DOS);
    }
    if (n == 0 || n >= path.size()) return {};
    path.resize(n);
    return Utf8FromWide(PlainWidePath(path));
}

}  // namespace tarvex::epk
