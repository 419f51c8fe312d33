#include "platform/DiskFolder.h"

#include <windows.h>

#include "platform/win32/WidePath.h"
#include "platform/win32/WindowsErrors.h"

namespace tarvex {
namespace {

// A folder held so that nobody can rename, move or remove it, nor anything
// above it, while it is held: files are then made by its path, which goes on
// naming this very folder. Others may still read and write in it.
HANDLE HoldFolder(const std::wstring& path, DWORD flags)
{
    return ::CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
}

std::optional<std::wstring> WideChild(const DiskFolder& folder, const std::string& name)
{
    return WidePath(folder.PathOf(name));
}

}  // namespace

std::shared_ptr<const DiskFolder> DiskFolder::Open(const std::string& path, std::string& error)
{
    const std::optional<std::wstring> wide = WidePath(path);
    if (!wide) {
        error = WindowsErrorText(ERROR_INVALID_NAME);
        return nullptr;
    }
    const HANDLE handle = HoldFolder(*wide, 0);
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastErrorText();
        return nullptr;
    }
    auto folder = std::make_shared<DiskFolder>();
    folder->folder_.Adopt(handle);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = WindowsErrorText(ERROR_DIRECTORY);
        return nullptr;
    }
    folder->path_ = path;
    return folder;
}

DiskFolder::ChildStatus DiskFolder::Child(const std::string& name, std::shared_ptr<const DiskFolder>& out,
                                          std::string& error) const
{
    const std::optional<std::wstring> wide = WideChild(*this, name);
    if (!wide) {
        error = WindowsErrorText(ERROR_INVALID_NAME);
        return ChildStatus::Failed;
    }
    if (!::CreateDirectoryW(wide->c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        error = LastErrorText();
        return ChildStatus::Failed;
    }
    // The link itself is opened, never what it points at.
    const HANDLE handle = HoldFolder(*wide, FILE_FLAG_OPEN_REPARSE_POINT);
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastErrorText();
        return ChildStatus::Failed;
    }
    auto child = std::make_shared<DiskFolder>();
    child->folder_.Adopt(handle);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) {
        error = LastErrorText();
        return ChildStatus::Failed;
    }
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return ChildStatus::NotAFolder;
    child->path_ = PathOf(name);
    out = std::move(child);
    return ChildStatus::Ok;
}

bool DiskFolder::CreateNewFile(const std::string& name, File& file) const
{
    const std::optional<std::wstring> wide = WideChild(*this, name);
    if (!wide) return false;
    // CREATE_NEW fails on anything there, a link to nothing included.
    const HANDLE handle =
        ::CreateFileW(wide->c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    file.Adopt(handle);
    return true;
}

void DiskFolder::RemoveFile(const std::string& name) const
{
    if (const std::optional<std::wstring> wide = WideChild(*this, name)) ::DeleteFileW(wide->c_str());
}

bool DiskFolder::Has(const std::string& name) const
{
    const std::optional<std::wstring> wide = WideChild(*this, name);
    return wide && ::GetFileAttributesW(wide->c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string DiskFolder::PathOf(const std::string& name) const
{
    return path_.find_last_of("/\\") == path_.size() - 1 ? path_ + name : path_ + "\\" + name;
}

}  // namespace tarvex
