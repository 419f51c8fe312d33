#include "runtime/DiskFile.h"

#include <cerrno>
#include <sys/stat.h>

#include "base/SystemErrorText.h"
#include "runtime/RuntimeMessages.h"
#include "talk/Messages.h"

namespace tarvex {

DiskOpen OpenDiskFile(const std::string& path, File& file, uint32_t& length, IPrompt& prompt, bool missingIsError)
{
    const auto fail = [&](const std::string& reason) {
        prompt.Tell(Printf(msg::kCannotOpenFile, path.c_str(), reason.c_str()), MsgIcon::Error);
        return DiskOpen::Failed;
    };
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
        if (!missingIsError) return DiskOpen::Missing;
        fail(SystemErrorText(error));
        return DiskOpen::Missing;
    }
    if (const char* why = NotRegularFileText(st.st_mode)) return fail(why);
    uint64_t size = 0;
    if (!file.OpenRead(path, &size)) {
        fail(file.Error());
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
    if (::stat(path.c_str(), &st) != 0) return nullptr;
    return NotRegularFileText(st.st_mode);
}

}  // namespace tarvex
