#include "tools/epk/Terminal.h"

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "base/SystemErrorText.h"

namespace tarvex::epk {
namespace {

// Shows a text on a terminal; what cannot be shown does not stop the
// question, whose answer is still read.
void Show(int terminal, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t n = ::write(terminal, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        text.remove_prefix(static_cast<size_t>(n));
    }
}

}  // namespace

bool OpenSessionTerminal(File& terminal)
{
    if (!::isatty(STDIN_FILENO)) return false;
    terminal.Adopt(::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY));
    return terminal.IsOpen();
}

std::optional<std::string> ReadHiddenLine(File& terminal, std::string_view question, std::string& error)
{
    const int fd = terminal.Native();
    termios saved{};
    if (::tcgetattr(fd, &saved) != 0) {
        error = SystemErrorText(errno);
        return std::nullopt;
    }
    // Echo goes off (and what was typed before is dropped) before the
    // question shows: an answer typed once it shows is all kept.
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(fd, TCSAFLUSH, &quiet);
    Show(fd, question);
    std::string line;
    char c;
    while (::read(fd, &c, 1) == 1 && c != '\n') line += c;
    ::tcsetattr(fd, TCSAFLUSH, &saved);
    Show(fd, "\n");
    return line;
}

}  // namespace tarvex::epk
