#include "runtime/DiskFile.h"

#include <cerrno>

#include "base/SystemErrorText.h"
#include "platform/DiskPaths.h"
#include "runtime/RuntimeMessages.h"
#include "talk/Messages.h"

namespace tarvex {

DiskOpen OpenDiskFile(const std::string& path, File& file, uint32_t& length, IPrompt& prompt, bool missingIsError)
{
    const auto fail = [&](const std::string& reason) {
        prompt.Tell(Printf(msg::kCannotOpenFile, path.c_str(), reason.c_str()), MsgIcon::Error);
        return DiskOpen::Failed;
    };
    PathStatus st;
    std::string error;
    const PathState state = LookAtPath(path, st, error);
    if (state != PathState::Found || st.kind == FileKind::Folder) {
        if (!missingIsError) return DiskOpen::Missing;
        if (state != PathState::Failed) error = SystemErrorText(state == PathState::Found ? EISDIR : ENOENT);
        fail(error);
        return DiskOpen::Missing;
    }
    if (const char* why = NotRegularFileText(st.kind)) return fail(why);
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

std::string CallerDiskPath(std::string_view text)
{
    const std::vector<std::string> readings = DiskPathReadings(text);
    if (readings.empty()) return std::string(text);
    for (const std::string& reading : readings) {
        PathStatus st;
        std::string error;
        if (LookAtPath(reading, st, error) != PathState::Missing) return reading;
    }
    return readings.front();
}

const char* NotARegularFile(const std::string& path)
{
    PathStatus st;
    std::string error;
    if (LookAtPath(path, st, error) != PathState::Found) return nullptr;
    return NotRegularFileText(st.kind);
}

}  // namespace tarvex
