#include "platform/DiskPaths.h"

#include <cerrno>
#include <climits>
#include <sys/stat.h>

#include "platform/posix/PosixFiles.h"

namespace tarvex {

FileKind KindOfMode(mode_t mode)
{
    if (S_ISREG(mode)) return FileKind::Regular;
    if (S_ISDIR(mode)) return FileKind::Folder;
    if (S_ISFIFO(mode)) return FileKind::Pipe;
    if (S_ISCHR(mode) || S_ISBLK(mode)) return FileKind::Device;
    if (S_ISSOCK(mode)) return FileKind::Socket;
    return FileKind::Other;
}

FileStamp StampOf(const struct stat& st)
{
    FileStamp stamp;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = static_cast<uint64_t>(st.st_size);
    stamp.modifiedSeconds = st.st_mtim.tv_sec;
    stamp.modifiedNanoseconds = st.st_mtim.tv_nsec;
    return stamp;
}

PathState LookAtPath(const std::string& path, PathStatus& status, std::string& error)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) return PathState::Missing;
        error = SystemErrorText(errno);
        return PathState::Failed;
    }
    status.kind = KindOfMode(st.st_mode);
    status.size = static_cast<uint64_t>(st.st_size);
    status.stamp = StampOf(st);
    return PathState::Found;
}

bool MakeFolder(const std::string& path, std::string& error)
{
    if (::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST) return true;
    error = SystemErrorText(errno);
    return false;
}

bool IsNameTheDiskTakes(std::string_view)
{
    return true;
}

bool IsShortEnoughForTheDisk(std::string_view name)
{
    return name.size() <= NAME_MAX;
}

std::vector<std::string> DiskPathReadings(std::string_view text)
{
    return {std::string(text)};
}

}  // namespace tarvex
