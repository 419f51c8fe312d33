#include "tools/epk/CliPrompt.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "archive/FileIo.h"
#include "archive/GbkText.h"
#include "archive/Messages.h"
#include "archive/PasswordKeys.h"
#include "tools/epk/Console.h"

namespace tarvex::epk {

namespace {

double Now()
{
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

void CliPrompt::ProgressBegin(uint32_t range)
{
    showProgress_ = ::isatty(STDERR_FILENO);
    range_ = range;
    steps_ = 0;
    bytes_ = 0;
    started_ = drawn_ = Now();
}

void CliPrompt::ProgressStep()
{
    ++steps_;
    DrawProgress(false);
}

void CliPrompt::ProgressBytes(uint64_t bytes)
{
    bytes_ = bytes;
    DrawProgress(false);
}

void CliPrompt::ProgressEnd()
{
    ClearProgress();
    showProgress_ = false;
}

void CliPrompt::DrawProgress(bool force)
{
    if (!showProgress_) return;
    const double now = Now();
    if (!force && now - drawn_ < 0.1) return;
    drawn_ = now;
    const double megabytes = static_cast<double>(bytes_) / (1 << 20);
    const double seconds = std::max(now - started_, 1e-3);
    PrintErr(Printf("\r%u/%u 个文件，%.1f MB，%.1f MB/s\033[K", steps_, range_, megabytes, megabytes / seconds));
    lineShown_ = true;
}

void CliPrompt::ClearProgress()
{
    if (!lineShown_) return;
    PrintErr("\r\033[K");
    lineShown_ = false;
}

MsgAnswer CliPrompt::Message(std::string_view text, MsgIcon icon, MsgButtons buttons)
{
    ClearProgress();
    if (icon == MsgIcon::Error) sawError_ = true;
    while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    PrintErr(std::string(text) + "\n");
    // Nobody can answer a question here: take the answer that changes nothing.
    switch (buttons) {
    case MsgButtons::Ok: return MsgAnswer::Ok;
    case MsgButtons::YesNo: return MsgAnswer::No;
    case MsgButtons::YesNoCancel: return MsgAnswer::Cancel;
    }
    return MsgAnswer::Cancel;
}

namespace {

// Reads one line from the terminal without showing it; only when epk is run
// from a terminal, so that scripts never wait for a keyboard.
std::optional<std::string> ReadHiddenLine(const std::string& question)
{
    if (!::isatty(STDIN_FILENO)) return std::nullopt;
    const int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    File tty;
    tty.Adopt(fd);
    termios saved{};
    const bool isTerminal = ::tcgetattr(fd, &saved) == 0;
    if (!isTerminal) return std::nullopt;
    tty.WriteAll({reinterpret_cast<const uint8_t*>(question.data()), question.size()});
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(fd, TCSAFLUSH, &quiet);
    std::string line;
    char c;
    while (::read(fd, &c, 1) == 1 && c != '\n') line += c;
    ::tcsetattr(fd, TCSAFLUSH, &saved);
    tty.WriteAll({reinterpret_cast<const uint8_t*>("\n"), 1});
    return line;
}

}  // namespace

std::optional<PasswordBlocks> CliPrompt::AskPassword(PasswordMode mode)
{
    if (password_) return password_;
    if (mode == PasswordMode::Set) return PasswordBlocks{};
    const std::optional<std::string> typed = ReadHiddenLine("请输入打开该文件的密码：");
    if (!typed) return std::nullopt;
    return PasswordFromText(*typed);
}

std::optional<PasswordBlocks> PasswordFromText(const std::string& utf8)
{
    const std::optional<std::string> gbk = Utf8ToGbk(utf8);
    if (!gbk) {
        PrintErr("密码含有无法用GBK编码表示的字符。\n");
        return std::nullopt;
    }
    return DerivePasswordBlocks(*gbk);
}

std::optional<std::string> ReadPasswordFile(const std::string& path)
{
    // A device such as /dev/null stands for no password (its length is 0);
    // it is not opened. A pipe is refused like any other file that is not
    // a regular one.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode)) return std::string();
    File file;
    uint64_t size = 0;
    if (!file.OpenRead(path, &size)) {
        PrintErr("无法读取密码文件" + path + "：" + file.Error() + "\n");
        return std::nullopt;
    }
    std::string text(size, '\0');
    if (!file.ReadAll({reinterpret_cast<uint8_t*>(text.data()), text.size()})) {
        PrintErr("无法读取密码文件" + path + "：" + file.Error() + "\n");
        return std::nullopt;
    }
    if (!text.empty() && text.back() == '\n') text.pop_back();
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return text;
}

}  // namespace tarvex::epk
