#include "platform/FolderNames.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace tarvex {

bool ReadFolderNames(const std::string& path, std::vector<FolderName>& names, std::string& error)
{
    names.clear();
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(path.c_str()), &::closedir);
    if (!folder) {
        error = SystemErrorText(errno);
        return false;
    }
    while (const dirent* item = ::readdir(folder.get())) {
        if (std::strcmp(item->d_name, ".") == 0 || std::strcmp(item->d_name, "..") == 0) continue;
        names.push_back({item->d_name, std::nullopt});
    }
    return true;
}

bool FolderLooker::Open(const std::string& path)
{
    path_ = path;
    return folder_.OpenFolder(path);
}

// Looked up inside the held folder, not along the whole path again.
NameLook FolderLooker::Look(const std::string& name) const
{
    NameLook look;
    struct stat st {};
    if (::fstatat(folder_.Native(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return look;
    look.found = true;
    const bool isLink = S_ISLNK(st.st_mode);
    if (isLink && ::fstatat(folder_.Native(), name.c_str(), &st, 0) != 0) st.st_mode = 0;
    look.isFile = S_ISREG(st.st_mode);
    look.isDir = S_ISDIR(st.st_mode) && !isLink;
    look.length = static_cast<uint64_t>(st.st_size);
    return look;
}

}  // namespace tarvex
