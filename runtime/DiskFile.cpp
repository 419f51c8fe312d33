#include "runtime/DiskFile.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#include "archive/Messages.h"
#include "runtime/RuntimeMessages.h"

namespace tarvex {

DiskOpen OpenDiskFile(const std::string& path, File& file, uint32_t& length, IPrompt& prompt, bool missingIsError)
{
    const auto fail = [&](const char* reason) {
        prompt.Tell(Printf(msg::kCannotOpenFile, path.c_str(), reason), MsgIcon::Error);
        return DiskOpen::Failed;
    };
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
        if (!missingIsError) return DiskOpen::Missing;
        fail(std::strerror(error));
        return DiskOpen::Missing;
    }
    if (!S_ISREG(st.st_mode)) return fail(msg::kNotRegularFile);
    uint64_t size = 0;
    if (!file.OpenRead(path, &size)) {
        fail(file.Error().c_str());
        file.Close();
        return DiskOpen::Failed;
    }
    if (size > 0xFFFFFFFFu) {
        prompt.Tell(Printf(msg::kTooLargeToRead, path.c_str()), MsgIcon::Error);
        file.Close();
        return DiskOpen::Failed;
    }
    length = static_cast<uint32_t>(size);
    return DiskOpen::Opened;
}

const char* NotARegularFile(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return nullptr;
    return S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : msg::kNotRegularFile;
}

}  // namespace tarvex
