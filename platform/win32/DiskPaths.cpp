#include "platform/DiskPaths.h"

#include <windows.h>

#include "base/GbkText.h"
#include "base/win32/WideText.h"
#include "platform/win32/WidePath.h"
#include "platform/win32/WindowsErrors.h"
#include "platform/win32/WindowsFiles.h"

namespace tarvex {
namespace {

// Windows counts file times in steps of 100 ns.
constexpr int64_t kTicksPerSecond = 10'000'000;

bool IsMissing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
           error == ERROR_BAD_NETPATH || error == ERROR_BAD_NET_NAME;
}

}  // namespace

bool StampOfHandle(HANDLE handle, FileStamp& stamp)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) return false;
    stamp.device = info.dwVolumeSerialNumber;
    stamp.inode = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    stamp.size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    const int64_t ticks = static_cast<int64_t>((uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                               info.ftLastWriteTime.dwLowDateTime);
    stamp.modifiedSeconds = ticks / kTicksPerSecond;
    stamp.modifiedNanoseconds = ticks % kTicksPerSecond * 100;
    return true;
}

PathState LookAtPath(const std::string& path, PathStatus& status, std::string& error)
{
    const std::optional<std::wstring> wide = WidePath(path);
    if (!wide) return PathState::Missing;
    bool pipe = false;
    if (IsDevicePath(*wide, pipe)) {
        status = PathStatus{};
        status.kind = pipe ? FileKind::Pipe : FileKind::Device;
        return PathState::Found;
    }
    // Opened only to be looked at (links followed): no rights to its bytes
    // are asked for, and folders open too.
    const HANDLE handle =
        ::CreateFileW(wide->c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        if (IsMissing(code)) return PathState::Missing;
        error = WindowsErrorText(code);
        return PathState::Failed;
    }
    status = PathStatus{};
    BY_HANDLE_FILE_INFORMATION info{};
    const DWORD type = ::GetFileType(handle);
    const bool known = StampOfHandle(handle, status.stamp) && ::GetFileInformationByHandle(handle, &info);
    const DWORD code = ::GetLastError();
    ::CloseHandle(handle);
    if (type == FILE_TYPE_PIPE) {
        status.kind = FileKind::Pipe;
    } else if (type == FILE_TYPE_CHAR) {
        status.kind = FileKind::Device;
    } else if (!known) {
        error = WindowsErrorText(code);
        return PathState::Failed;
    } else {
        status.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::Folder : FileKind::Regular;
        status.size = status.stamp.size;
    }
    return PathState::Found;
}

bool MakeFolder(const std::string& path, std::string& error)
{
    const std::optional<std::wstring> wide = WidePath(path);
    if (!wide) {
        error = WindowsErrorText(ERROR_INVALID_NAME);
        return false;
    }
    if (::CreateDirectoryW(wide->c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS) return true;
    error = LastErrorText();
    return false;
}

bool IsNameTheDiskTakes(std::string_view name)
{
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || std::string_view(":*?\"<>|\\/").find(c) != std::string_view::npos)
            return false;
    return true;
}

bool IsShortEnoughForTheDisk(std::string_view name)
{
    const std::optional<std::wstring> wide = WideFromUtf8(name);
    return wide && wide->size() <= 255;
}

std::vector<std::string> DiskPathReadings(std::string_view text)
{
    std::vector<std::string> readings;
    if (WidePath(text)) readings.emplace_back(text);
    if (const std::optional<std::string> gbk = GbkToUtf8(text); gbk && *gbk != text) readings.push_back(*gbk);
    return readings;
}

}  // namespace tarvex
