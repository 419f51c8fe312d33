#include "editor/Workspace.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tarvex {
namespace {

// A folder we may keep private files in: a real directory of ours that only
// we can enter. Another user's "zvpktmp" (or a link planted in its place)
// is never used.
bool IsOwnPrivateFolder(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 0077) == 0;
}

std::string MakeSharedFolder(const std::string& temp)
{
    for (const std::string& name : {std::string("zvpktmp"), "zvpktmp-" + std::to_string(::getuid())}) {
        const std::string path = temp + "/" + name;
        if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) continue;
        if (IsOwnPrivateFolder(path)) return path;
    }
    return {};
}

}  // namespace

std::string SystemTempFolder()
{
    const char* dir = std::getenv("TMPDIR");
    std::string path = dir && *dir ? dir : "/tmp";
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

Workspace::Workspace() : random_(static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()))
{
    shared_ = MakeSharedFolder(SystemTempFolder());
    if (shared_.empty()) return;
    std::string pattern = shared_ + "/docXXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data())) folder_ = buffer.data();
}

Workspace::~Workspace()
{
    if (folder_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    // The shared parent goes too once no other document uses it.
    ::rmdir(shared_.c_str());
}

std::optional<std::string> Workspace::MakeTempFileName()
{
    if (folder_.empty()) return std::nullopt;
    std::string prefix;
    std::uniform_int_distribution<int> letter(0, 25);
    for (int i = 0; i < 3; ++i) prefix += static_cast<char>('a' + letter(random_));
    std::string pattern = folder_ + "/" + prefix + "XXXXXX.tmp";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkstemps(buffer.data(), 4);
    if (fd < 0) return std::nullopt;
    ::close(fd);
    return std::string(buffer.data());
}

}  // namespace tarvex
