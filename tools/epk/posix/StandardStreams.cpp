#include "tools/epk/StandardStreams.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "base/SystemErrorText.h"

namespace tarvex::epk {
namespace {

std::string TemporaryFolder()
{
    const char* folder = std::getenv("TMPDIR");
    return folder && *folder ? folder : "/tmp";
}

// A file without a name in the temporary folder, or, where the file system
// cannot make one, a named one that is unlinked at once.
bool OpenNamelessFile(File& file, std::string& error)
{
    const std::string folder = TemporaryFolder();
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        std::string name = folder + "/epk-stdin-XXXXXX";
        fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd >= 0) ::unlink(name.c_str());
    }
    if (fd < 0) {
        error = SystemErrorText(errno);
        return false;
    }
    file.Adopt(fd);
    return true;
}

bool CopyToEnd(int from, File& to, std::string& error)
{
    std::vector<uint8_t> piece(1 << 20);
    for (;;) {
        const ssize_t n = ::read(from, piece.data(), piece.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = SystemErrorText(errno);
            return false;
        }
        if (n == 0) return true;
        if (!to.WriteAll(std::span(piece).first(static_cast<size_t>(n)))) {
            error = to.Error();
            return false;
        }
    }
}

}  // namespace

std::shared_ptr<HeldPack> PackFromStandardInput(std::string& error)
{
    struct stat st {};
    if (::fstat(STDIN_FILENO, &st) != 0) {
        error = SystemErrorText(errno);
        return nullptr;
    }
    File file;
    if (S_ISREG(st.st_mode)) {
        if (!file.OpenRead("/proc/self/fd/0")) {
            error = file.Error();
            return nullptr;
        }
    } else if (!OpenNamelessFile(file, error) || !CopyToEnd(STDIN_FILENO, file, error)) {
        return nullptr;
    }
    return HeldPack::Adopt(std::move(file), kStandardStream, error);
}

bool StandardOutputIsTerminal()
{
    return ::isatty(STDOUT_FILENO);
}

std::string FileOnStandardOutput()
{
    struct stat st {};
    if (::fstat(STDOUT_FILENO, &st) != 0 || !S_ISREG(st.st_mode)) return {};
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/fd/1", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

}  // namespace tarvex::epk
