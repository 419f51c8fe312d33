#include "platform/win32/WindowsErrors.h"

#include <windows.h>

#include "base/Printf.h"
#include "base/win32/WideText.h"

namespace tarvex {
namespace {

// Where Windows has no Chinese texts (a system without the language): the
// same words the POSIX systems' numbers get.
struct KnownError {
    DWORD code;
    const char* text;
};

constexpr KnownError kKnownErrors[] = {
    {ERROR_FILE_NOT_FOUND, "没有这个文件或文件夹"},
    {ERROR_PATH_NOT_FOUND, "没有这个文件或文件夹"},
    {ERROR_ACCESS_DENIED, "权限不够"},
    {ERROR_SHARING_VIOLATION, "文件正被另一个程序使用"},
    {ERROR_LOCK_VIOLATION, "文件正被另一个程序使用"},
    {ERROR_DISK_FULL, "磁盘空间不足"},
    {ERROR_HANDLE_DISK_FULL, "磁盘空间不足"},
    {ERROR_WRITE_PROTECT, "只读文件系统"},
    {ERROR_DIRECTORY, "不是文件夹"},
    {ERROR_FILENAME_EXCED_RANGE, "名字太长"},
    {ERROR_INVALID_NAME, "名字不能用作文件名"},
    {ERROR_FILE_EXISTS, "文件已存在"},
    {ERROR_ALREADY_EXISTS, "文件已存在"},
    {ERROR_TOO_MANY_OPEN_FILES, "打开的文件太多"},
    {ERROR_NOT_ENOUGH_MEMORY, "内存不足"},
    {ERROR_OUTOFMEMORY, "内存不足"},
    {ERROR_BAD_EXE_FORMAT, "不是这个系统能载入的程序模块"},
    {ERROR_MOD_NOT_FOUND, "找不到模块或它需要的模块"},
};

std::string SystemWords(DWORD code, DWORD language)
{
    wchar_t* text = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                         nullptr, code, language, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0 || !text) return {};
    std::wstring words(text, length);
    ::LocalFree(text);
    while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r' || words.back() == L' ')) words.pop_back();
    return Utf8FromWide(words);
}

}  // namespace

std::string WindowsErrorText(unsigned long code, std::string_view subject)
{
    std::string text = SystemWords(code, MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));
    if (text.empty()) {
        for (const KnownError& known : kKnownErrors)
            if (known.code == code) return known.text;
        return Printf("系统错误 %lu", code);
    }
    for (size_t at = text.find("%1"); at != std::string::npos; at = text.find("%1", at + subject.size()))
        text.replace(at, 2, subject);
    return text;
}

std::string LastErrorText(std::string_view subject)
{
    return WindowsErrorText(::GetLastError(), subject);
}

}  // namespace tarvex
