#include "platform/FileIo.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "base/win32/WideText.h"
#include "platform/DiskPaths.h"
#include "platform/win32/WidePath.h"
#include "platform/win32/WindowsErrors.h"

namespace tarvex {
namespace {

// One call reads or writes at most this much.
constexpr DWORD kMostPerCall = 1u << 30;

HANDLE Handle(NativeFile file)
{
    return static_cast<HANDLE>(file);
}

NativeFile Owned(HANDLE handle)
{
    return handle == INVALID_HANDLE_VALUE ? kNoFile : handle;
}

// Shared with every other program, as POSIX files are: others may read,
// write, rename, replace and delete what this one holds open.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// What an open handle is.
FileKind KindOf(HANDLE handle)
{
    switch (::GetFileType(handle)) {
        case FILE_TYPE_DISK: {
            BY_HANDLE_FILE_INFORMATION info{};
            if (::GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                return FileKind::Folder;
            return FileKind::Regular;
        }
        case FILE_TYPE_PIPE:
            return FileKind::Pipe;
        case FILE_TYPE_CHAR:
            return FileKind::Device;
        default:
            return FileKind::Other;
    }
}

// The path of an open folder (or file), in literal form.
std::optional<std::string> PathOfHandle(HANDLE handle)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) return std::nullopt;
        if (n < path.size()) {
            path.resize(n);
            return Utf8FromWide(path);
        }
        path.resize(n);
    }
}

}  // namespace

File::~File()
{
    if (IsOpen()) ::CloseHandle(Handle(file_));
}

File::File(File&& other) noexcept
    : file_(std::exchange(other.file_, kNoFile)), error_(std::move(other.error_)), notRegular_(other.notRegular_)
{
}

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        Close();
        file_ = std::exchange(other.file_, kNoFile);
        error_ = std::move(other.error_);
        notRegular_ = other.notRegular_;
    }
    return *this;
}

bool File::Fail()
{
    error_ = LastErrorText();
    return false;
}

bool File::RefuseType(FileKind kind)
{
    const char* why = NotRegularFileText(kind);
    if (!why) return false;
    error_ = why;
    notRegular_ = true;
    return true;
}

bool File::KeepIfRegular(uint64_t* size)
{
    LARGE_INTEGER length{};
    if (!RefuseType(KindOf(Handle(file_)))) {
        if (!size) return true;
        if (::GetFileSizeEx(Handle(file_), &length)) {
            *size = static_cast<uint64_t>(length.QuadPart);
            return true;
        }
        Fail();
    }
    ::CloseHandle(Handle(std::exchange(file_, kNoFile)));
    return false;
}

bool File::OpenRead(const std::string& path, uint64_t* size)
{
    Close();
    notRegular_ = false;
    const std::optional<std::wstring> wide = WidePath(path);
    if (!wide) {
        error_ = WindowsErrorText(ERROR_INVALID_NAME);
        return false;
    }
    // What is there is looked at before anything is opened: a pipe or a
    // device is never opened, and a folder is told as one.
    bool pipe = false;
    if (IsDevicePath(*wide, pipe)) return !RefuseType(pipe ? FileKind::Pipe : FileKind::Device);
    const DWORD attributes = ::GetFileAttributesW(wide->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return Fail();
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && RefuseType(FileKind::Folder)) return false;
    file_ = Owned(
        ::CreateFileW(wide->c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return IsOpen() ? KeepIfRegular(size) : Fail();
}

bool File::OpenReadIn(const File& folder, const std::string& name, uint64_t* size)
{
    const std::optional<std::string> folderPath = PathOfHandle(Handle(folder.file_));
    if (!folderPath) {
        Close();
        return Fail();
    }
    return OpenRead(*folderPath + "\\" + name, size);
}

bool File::OpenReadUnsizedIn(const File& folder, const std::string& name)
{
    return OpenReadIn(folder, name, nullptr);
}

bool File::OpenFolder(const std::string& path)
{
    Close();
    const std::optional<std::wstring> wide = WidePath(path);
    if (!wide) {
        error_ = WindowsErrorText(ERROR_INVALID_NAME);
        return false;
    }
    file_ = Owned(::CreateFileW(wide->c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return IsOpen() || Fail();
}

bool File::CreateWrite(const std::string& path)
{
    Close();
    const std::optional<std::wstring> wide = WidePath(path);
    if (!wide) {
        error_ = WindowsErrorText(ERROR_INVALID_NAME);
        return false;
    }
    file_ = Owned(::CreateFileW(wide->c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return IsOpen() || Fail();
}

// Reads until `bytes` is full; `read` is one ReadFile-like call at an offset
// into the request, returning false on an error and 0 bytes at the end.
template <typename ReadSome>
bool File::ReadExactly(std::span<uint8_t> bytes, ReadSome read)
{
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        const auto step = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, kMostPerCall));
        if (!read(bytes.data() + done, step, done, got)) {
            // A pipe whose writer has gone, or a read past the end.
            if (::GetLastError() != ERROR_BROKEN_PIPE && ::GetLastError() != ERROR_HANDLE_EOF) return Fail();
            got = 0;
        }
        if (got == 0) {
            error_ = kFileEndedEarly;
            return false;
        }
        done += got;
    }
    return true;
}

bool File::ReadAt(uint64_t offset, std::span<uint8_t> bytes)
{
    return ReadExactly(bytes, [&](uint8_t* p, DWORD n, size_t done, DWORD& got) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset + done);
        at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
        return ::ReadFile(Handle(file_), p, n, &got, &at) != 0;
    });
}

bool File::ReadAll(std::span<uint8_t> bytes)
{
    return ReadExactly(bytes, [&](uint8_t* p, DWORD n, size_t, DWORD& got) {
        return ::ReadFile(Handle(file_), p, n, &got, nullptr) != 0;
    });
}

File::WholeRead File::ReadToEnd(std::span<uint8_t> bytes)
{
    if (!ReadAll(bytes)) return WholeRead::Failed;
    uint8_t extra;
    DWORD got = 0;
    if (!::ReadFile(Handle(file_), &extra, 1, &got, nullptr) && ::GetLastError() != ERROR_BROKEN_PIPE &&
        ::GetLastError() != ERROR_HANDLE_EOF) {
        Fail();
        return WholeRead::Failed;
    }
    return got == 0 ? WholeRead::Ok : WholeRead::Longer;
}

bool File::WriteAll(std::span<const uint8_t> bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD put = 0;
        const auto step = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, kMostPerCall));
        if (!::WriteFile(Handle(file_), bytes.data() + done, step, &put, nullptr)) return Fail();
        done += put;
    }
    return true;
}

bool File::Size(uint64_t& size)
{
    LARGE_INTEGER length{};
    if (!::GetFileSizeEx(Handle(file_), &length)) return Fail();
    size = static_cast<uint64_t>(length.QuadPart);
    return true;
}

bool File::Position(uint64_t& position)
{
    LARGE_INTEGER at{};
    if (!::SetFilePointerEx(Handle(file_), LARGE_INTEGER{}, &at, FILE_CURRENT)) return Fail();
    position = static_cast<uint64_t>(at.QuadPart);
    return true;
}

bool File::Seek(uint64_t position)
{
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(position);
    return ::SetFilePointerEx(Handle(file_), at, nullptr, FILE_BEGIN) || Fail();
}

// Windows has no call that starts writing a range without waiting for it;
// its cache writes as it goes anyway.
void File::StartWriteBack(uint64_t, uint64_t)
{
}

bool File::Sync()
{
    return ::FlushFileBuffers(Handle(file_)) || Fail();
}

bool File::Close()
{
    if (!IsOpen()) return true;
    return ::CloseHandle(Handle(std::exchange(file_, kNoFile))) || Fail();
}

// Windows looks a name up fast enough through the whole path, so each file
// is opened by its path.
bool FolderOpener::OpenRead(File& file, const std::string& path, uint64_t* size)
{
    return file.OpenRead(path, size);
}

bool FolderOpener::OpenReadUnsized(File& file, const std::string& path)
{
    return file.OpenRead(path, nullptr);
}

bool FileLength(const std::string& path, uint64_t& length)
{
    PathStatus status;
    std::string error;
    if (LookAtPath(path, status, error) != PathState::Found || status.kind != FileKind::Regular) return false;
    length = status.size;
    return true;
}

bool IsSameFile(const std::string& a, const std::string& b)
{
    PathStatus first;
    PathStatus second;
    std::string error;
    return LookAtPath(a, first, error) == PathState::Found && LookAtPath(b, second, error) == PathState::Found &&
           first.stamp.SameFile(second.stamp);
}

}  // namespace tarvex
