#include "tools/epk/InputFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "base/SystemErrorText.h"
#include "platform/posix/PosixFiles.h"

namespace tarvex::epk {
namespace {

bool IsNullDevice(const struct stat& st)
{
    struct stat null {};
    return S_ISCHR(st.st_mode) && ::stat("/dev/null", &null) == 0 && S_ISCHR(null.st_mode) &&
           null.st_rdev == st.st_rdev;
}

// The controlling terminal (/dev/tty), or the terminal a standard stream of
// epk is attached to (/dev/stdin, /dev/pts/N as `tty` names it). Any other
// device is never opened.
bool IsOwnTerminal(const struct stat& st)
{
    if (!S_ISCHR(st.st_mode)) return false;
    if (st.st_rdev == ::makedev(5, 0)) return true;
    for (const int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        struct stat own {};
        if (::isatty(stream) && ::fstat(stream, &own) == 0 && own.st_rdev == st.st_rdev) return true;
    }
    return false;
}

}  // namespace

bool InputFile::Fail(std::string reason)
{
    error_ = std::move(reason);
    return false;
}

bool InputFile::Open(const std::string& path)
{
    // The file is held without being opened, looked at, and only then
    // opened through what is held, so that nothing put in its place in
    // between is opened instead.
    File held;
    held.Adopt(::open(path.c_str(), O_PATH | O_CLOEXEC));
    if (!held.IsOpen()) return Fail(SystemErrorText(errno));
    struct stat st {};
    if (::fstat(held.Native(), &st) != 0) return Fail(SystemErrorText(errno));
    if (IsNullDevice(st)) {
        kind_ = InputKind::Null;
        return true;
    }
    kind_ = IsOwnTerminal(st) ? InputKind::Terminal : InputKind::Text;
    if (kind_ == InputKind::Text && !S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode)) {
        return Fail(NotRegularFileText(KindOfMode(st.st_mode)));
    }
    const std::string heldPath = "/proc/self/fd/" + std::to_string(held.Native());
    const int access = kind_ == InputKind::Terminal ? O_RDWR : O_RDONLY;
    file_.Adopt(::open(heldPath.c_str(), access | O_NOCTTY | O_CLOEXEC));
    return file_.IsOpen() || Fail(SystemErrorText(errno));
}

std::optional<std::string> InputFile::ReadToEnd()
{
    std::string text;
    if (kind_ == InputKind::Null) return text;
    char piece[1 << 16];
    for (;;) {
        const ssize_t n = ::read(file_.Native(), piece, sizeof piece);
        if (n == 0) return text;
        if (n > 0) {
            text.append(piece, static_cast<size_t>(n));
        } else if (errno != EINTR) {
            Fail(SystemErrorText(errno));
            return std::nullopt;
        }
    }
}

}  // namespace tarvex::epk
