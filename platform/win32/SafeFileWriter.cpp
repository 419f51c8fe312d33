#include "platform/SafeFileWriter.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "base/AppFolder.h"
#include "base/win32/WideText.h"
#include "platform/DiskPaths.h"
#include "platform/win32/WidePath.h"
#include "platform/win32/WindowsErrors.h"
#include "platform/win32/WindowsFiles.h"

namespace tarvex {
namespace {

constexpr size_t kBufferSize = 1 << 20;

std::string DirectoryOf(const std::string& path)
{
    const size_t slash = path.find_last_of(kPathSeparators);
    if (slash == std::string::npos) return ".";
    if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

// A target given through a symbolic link is replaced where the link points,
// so the link keeps working (a link to nothing is replaced itself).
std::string ResolveTarget(const std::string& target)
{
    const std::optional<std::wstring> wide = WidePath(target);
    if (!wide) return target;
    const DWORD attributes = ::GetFileAttributesW(wide->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return target;
    const HANDLE handle =
        ::CreateFileW(wide->c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return target;
    std::wstring path(MAX_PATH, L'\0');
    DWORD n = ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), VOLUME_NAME_DOS);
    if (n >= path.size()) {
        path.resize(n);
        n = ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), VOLUME_NAME_DOS);
    }
    ::CloseHandle(handle);
    if (n == 0 || n >= path.size()) return target;
    path.resize(n);
    return Utf8FromWide(PlainWidePath(path));
}

// A short name for the temporary file, so that a target whose own name is
// near the length limit still gets one.
std::string TempName()
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::string name = ".tarvex-";
    for (int i = 0; i < 8; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
    return name;
}

// Renames the file `from` over `to` with POSIX semantics (Windows 10 1607
// and later, on NTFS): a file that others hold open, with FILE_SHARE_DELETE
// as Tarvex's programs hold packs, is replaced all the same, where the older
// renames are refused while it is open. False where Windows cannot.
bool RenameOverOpenFile(const std::wstring& from, const std::wstring& to)
{
    // FileRenameInfoEx and its flags, named by newer headers only.
    constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
    constexpr DWORD kReplaceIfExists = 1;
    constexpr DWORD kPosixSemantics = 2;
    const HANDLE file = ::CreateFileW(from.c_str(), DELETE | SYNCHRONIZE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    // The call takes the system's own form of the path: "\??\" for "\\?\".
    std::wstring name = to;
    if (name.starts_with(L"\\\\?\\")) name[1] = L'?';
    std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    // The flags take the place of ReplaceIfExists, at the start.
    const DWORD flags = kReplaceIfExists | kPosixSemantics;
    std::memcpy(buffer.data(), &flags, sizeof flags);
    info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, name.data(), info->FileNameLength);
    const bool renamed = ::SetFileInformationByHandle(file, kFileRenameInfoEx, info, static_cast<DWORD>(buffer.size()));
    ::CloseHandle(file);
    return renamed;
}

}  // namespace

SafeFileWriter::~SafeFileWriter()
{
    Abandon();
}

bool SafeFileWriter::Fail(const std::string& why)
{
    error_ = why;
    return false;
}

bool SafeFileWriter::Open(const std::string& target, Links links)
{
    Abandon();
    target_ = links == Links::WriteThrough ? ResolveTarget(target) : target;
    if (!dir_.OpenFolder(DirectoryOf(target_))) return Fail(dir_.Error());
    name_ = std::string(NameOfPath(target_));
    return Begin();
}

bool SafeFileWriter::OpenIn(const DiskFolder& folder, const std::string& name)
{
    Abandon();
    name_ = name;
    target_ = folder.PathOf(name);
    // The folder stays held by `folder`, so its path keeps naming it.
    if (!dir_.OpenFolder(folder.Path())) return Fail(dir_.Error());
    return Begin();
}

bool SafeFileWriter::OpenStandardOutput(const std::string& shown)
{
    Abandon();
    HANDLE own = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), ::GetStdHandle(STD_OUTPUT_HANDLE), ::GetCurrentProcess(), &own, 0,
                           FALSE, DUPLICATE_SAME_ACCESS))
        return Fail(LastErrorText());
    file_.Adopt(own);
    target_ = shown;
    streaming_ = true;
    buffer_.clear();
    buffer_.reserve(kBufferSize);
    position_ = 0;
    handed_ = 0;
    return true;
}

// The temporary file is made under a fresh name beside the target (Windows
// has no files without a name); Abandon removes it.
bool SafeFileWriter::Begin()
{
    const std::string folder = DirectoryOf(target_);
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string name = TempName();
        const std::optional<std::wstring> wide = WidePath(folder + "\\" + name);
        if (!wide) return Fail(WindowsErrorText(ERROR_INVALID_NAME));
        const HANDLE handle =
            ::CreateFileW(wide->c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            file_.Adopt(handle);
            tempName_ = std::move(name);
            buffer_.clear();
            buffer_.reserve(kBufferSize);
            position_ = 0;
            handed_ = 0;
            return true;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) break;
    }
    return Fail(LastErrorText());
}

bool SafeFileWriter::Flush()
{
    if (buffer_.empty()) return true;
    if (!file_.WriteAll(buffer_)) return Fail(file_.Error());
    buffer_.clear();
    return true;
}

bool SafeFileWriter::Write(std::span<const uint8_t> bytes)
{
    if (!file_.IsOpen()) return Fail(kFileNotOpen);
    if (buffer_.size() + bytes.size() > kBufferSize && !Flush()) return false;
    position_ += bytes.size();
    if (bytes.size() < kBufferSize) {
        buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
        return true;
    }
    return file_.WriteAll(bytes) || Fail(file_.Error());
}

bool SafeFileWriter::Fill(const std::function<bool(File& file)>& fill, std::optional<uint64_t> length)
{
    if (!file_.IsOpen()) return Fail(kFileNotOpen);
    if (streaming_ && !length) return Fail(WindowsErrorText(ERROR_SEEK_ON_DEVICE));
    if (!Flush()) return false;
    if (!fill(file_)) return false;
    if (streaming_) {
        position_ += *length;
        return true;
    }
    return file_.Position(position_) || Fail(file_.Error());
}

bool SafeFileWriter::TruncateTo(uint64_t position)
{
    if (!file_.IsOpen()) return Fail(kFileNotOpen);
    if (streaming_) return position == position_ || Fail(WindowsErrorText(ERROR_SEEK_ON_DEVICE));
    if (!Flush()) return false;
    if (!file_.Seek(position)) return Fail(file_.Error());
    if (!::SetEndOfFile(static_cast<HANDLE>(file_.Native()))) return Fail(LastErrorText());
    position_ = position;
    return true;
}

bool SafeFileWriter::Commit(const CommitRules& rules)
{
    if (!file_.IsOpen()) return Fail(kFileNotOpen);
    if (!Flush()) return false;
    if (streaming_) return (!rules.lastCheck || rules.lastCheck()) && (file_.Close() || Fail(file_.Error()));

    PathStatus old;
    std::string error;
    const bool replacing = !rules.replaceNothing && LookAtPath(target_, old, error) == PathState::Found;
    // Only a file that replaces another must reach the disk before it takes
    // the other's place: otherwise a crash could leave neither.
    if (rules.durable && replacing && !file_.Sync()) return Fail(file_.Error());
    if (rules.lastCheck && !rules.lastCheck()) return false;
    FileStamp written;
    if (rules.keep && !StampOfHandle(static_cast<HANDLE>(file_.Native()), written)) return Fail(LastErrorText());
    // Closed first: Windows moves a file that nobody holds open.
    if (!file_.Close()) return Fail(file_.Error());
    if (!PutInPlace(rules.replaceNothing)) return false;
    if (rules.keep) {
        // The file now at the target must be the one just written.
        FileStamp there;
        if (!rules.keep->OpenRead(target_)) return Fail(rules.keep->Error());
        if (!StampOfHandle(static_cast<HANDLE>(rules.keep->Native()), there) || !there.SameFile(written)) {
            rules.keep->Close();
            return Fail(WindowsErrorText(ERROR_FILE_INVALID));
        }
    }
    return true;
}

// Moves the complete file to the target: over what is there with
// ReplaceFileW, which passes the old file's attributes and rights on to it
// (or, where it cannot, by a rename over the target); with replaceNothing
// only where nothing is, which MoveFileExW without MOVEFILE_REPLACE_EXISTING
// ensures. Either way the move is on the disk before it returns.
bool SafeFileWriter::PutInPlace(bool replaceNothing)
{
    const std::optional<std::wstring> temp = WidePath(DirectoryOf(target_) + "\\" + tempName_);
    const std::optional<std::wstring> target = WidePath(target_);
    if (!temp || !target) return Fail(WindowsErrorText(ERROR_INVALID_NAME));
    bool moved = false;
    DWORD code = ERROR_SUCCESS;
    if (!replaceNothing) {
        moved = ::ReplaceFileW(target->c_str(), temp->c_str(), nullptr,
                               REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr, nullptr);
        code = ::GetLastError();
    }
    // A target that another program (or this one) holds open.
    if (!moved && !replaceNothing && code != ERROR_FILE_NOT_FOUND) moved = RenameOverOpenFile(*temp, *target);
    if (!moved) {
        // Nothing at the target (any more), or a target ReplaceFileW cannot
        // take: renamed over it as POSIX systems do.
        const DWORD flags = MOVEFILE_WRITE_THROUGH | (replaceNothing ? 0 : MOVEFILE_REPLACE_EXISTING);
        moved = ::MoveFileExW(temp->c_str(), target->c_str(), flags);
        if (!moved && (replaceNothing || code == ERROR_FILE_NOT_FOUND)) code = ::GetLastError();
    }
    if (!moved) return Fail(WindowsErrorText(code));
    tempName_.clear();
    return true;
}

void SafeFileWriter::Abandon()
{
    file_.Close();
    streaming_ = false;
    if (!tempName_.empty()) {
        if (const std::optional<std::wstring> temp = WidePath(DirectoryOf(target_) + "\\" + tempName_))
            ::DeleteFileW(temp->c_str());
        tempName_.clear();
    }
    buffer_.clear();
}

}  // namespace tarvex
