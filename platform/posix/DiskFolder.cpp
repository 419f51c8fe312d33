#include "platform/DiskFolder.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/SystemErrorText.h"

namespace tarvex {

std::shared_ptr<const DiskFolder> DiskFolder::Open(const std::string& path, std::string& error)
{
    auto folder = std::make_shared<DiskFolder>();
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = SystemErrorText(errno);
        return nullptr;
    }
    folder->folder_.Adopt(fd);
    folder->path_ = path;
    return folder;
}

DiskFolder::ChildStatus DiskFolder::Child(const std::string& name, std::shared_ptr<const DiskFolder>& out,
                                          std::string& error) const
{
    if (::mkdirat(folder_.Native(), name.c_str(), 0777) != 0 && errno != EEXIST) {
        error = SystemErrorText(errno);
        return ChildStatus::Failed;
    }
    const int fd = ::openat(folder_.Native(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOTDIR || errno == ELOOP) return ChildStatus::NotAFolder;
        error = SystemErrorText(errno);
        return ChildStatus::Failed;
    }
    auto child = std::make_shared<DiskFolder>();
    child->folder_.Adopt(fd);
    child->path_ = PathOf(name);
    out = std::move(child);
    return ChildStatus::Ok;
}

bool DiskFolder::CreateNewFile(const std::string& name, File& file) const
{
    const int fd = ::openat(folder_.Native(), name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    file.Adopt(fd);
    return true;
}

void DiskFolder::RemoveFile(const std::string& name) const
{
    ::unlinkat(folder_.Native(), name.c_str(), 0);
}

bool DiskFolder::Has(const std::string& name) const
{
    struct stat st {};
    return ::fstatat(folder_.Native(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

std::string DiskFolder::PathOf(const std::string& name) const
{
    return path_ == "/" ? "/" + name : path_ + "/" + name;
}

}  // namespace tarvex
