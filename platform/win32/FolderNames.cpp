#include "platform/FolderNames.h"

#include <windows.h>

#include "base/win32/WideText.h"
#include "platform/DiskPaths.h"
#include "platform/win32/WidePath.h"
#include "platform/win32/WindowsErrors.h"

namespace tarvex {
namespace {

// What a name with these attributes is; a link (a reparse point) is looked
// at where it points, and a link to a folder is neither file nor folder.
NameLook LookOf(const std::string& path, DWORD attributes, uint64_t length)
{
    NameLook look;
    look.found = true;
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        look.isDir = attributes & FILE_ATTRIBUTE_DIRECTORY;
        look.isFile = !look.isDir;
        look.length = length;
        return look;
    }
    PathStatus target;
    std::string error;
    if (LookAtPath(path, target, error) == PathState::Found && target.kind == FileKind::Regular) {
        look.isFile = true;
        look.length = target.size;
    }
    return look;
}

uint64_t LengthOf(DWORD high, DWORD low)
{
    return (uint64_t{high} << 32) | low;
}

}  // namespace

bool ReadFolderNames(const std::string& path, std::vector<FolderName>& names, std::string& error)
{
    names.clear();
    const std::optional<std::wstring> wide = WidePath(path);
    if (!wide) {
        error = WindowsErrorText(ERROR_INVALID_NAME);
        return false;
    }
    const std::wstring pattern = *wide + (wide->back() == L'\\' ? L"*" : L"\\*");
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                             FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        // The root of an empty drive has no names at all.
        if (::GetLastError() == ERROR_FILE_NOT_FOUND) return true;
        error = LastErrorText();
        return false;
    }
    do {
        const std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        std::string utf8 = Utf8FromWide(name);
        const std::string full = path + "\\" + utf8;
        names.push_back(
            {std::move(utf8), LookOf(full, found.dwFileAttributes, LengthOf(found.nFileSizeHigh, found.nFileSizeLow))});
    } while (::FindNextFileW(search, &found));
    const DWORD ended = ::GetLastError();
    ::FindClose(search);
    if (ended == ERROR_NO_MORE_FILES) return true;
    error = WindowsErrorText(ended);
    return false;
}

bool FolderLooker::Open(const std::string& path)
{
    path_ = path;
    return folder_.OpenFolder(path);
}

NameLook FolderLooker::Look(const std::string& name) const
{
    const std::string full = path_ + "\\" + name;
    const std::optional<std::wstring> wide = WidePath(full);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!wide || !::GetFileAttributesExW(wide->c_str(), GetFileExInfoStandard, &data)) return NameLook{};
    return LookOf(full, data.dwFileAttributes, LengthOf(data.nFileSizeHigh, data.nFileSizeLow));
}

}  // namespace tarvex
