#include "tools/epk/CliPrompt.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "base/GbkText.h"
#include "base/SystemErrorText.h"
#include "format/PasswordKeys.h"
#include "talk/Messages.h"
#include "tools/epk/Console.h"
#include "tools/epk/InputFiles.h"

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
    DrawErr(Printf("\r%u/%u 个文件，%.1f MB，%.1f MB/s\033[K", steps_, range_, megabytes, megabytes / seconds));
    lineShown_ = true;
}

void CliPrompt::ClearProgress()
{
    if (!lineShown_) return;
    DrawErr("\r\033[K");
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

constexpr const char* kOpeningQuestion = "请输入打开该文件的密码：";
constexpr const char* kNewPasswordQuestion = "请输入新的密码：";
constexpr const char* kNewPasswordAgain = "请再输入一次新的密码：";
constexpr const char* kPasswordsDiffer = "两次输入的密码不一样。\n";
constexpr const char* kCannotReadPasswordFile = "无法读取密码文件“%s”：%s\n";

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

// Asks on an open terminal and reads one line without showing it; nothing
// when it is no terminal.
std::optional<std::string> ReadHiddenLine(int terminal, std::string_view question)
{
    termios saved{};
    if (::tcgetattr(terminal, &saved) != 0) return std::nullopt;
    // Echo goes off (and what was typed before is dropped) before the
    // question shows: an answer typed once it shows is all kept.
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(terminal, TCSAFLUSH, &quiet);
    Show(terminal, question);
    std::string line;
    char c;
    while (::read(terminal, &c, 1) == 1 && c != '\n') line += c;
    ::tcsetattr(terminal, TCSAFLUSH, &saved);
    Show(terminal, "\n");
    return line;
}

// The password typed on the terminal a password file names; a new one is
// typed twice. Nothing (reported) when the terminal cannot be asked or the
// two answers differ.
std::optional<std::string> AskOnTerminal(const std::string& path, int terminal, PasswordMode mode)
{
    const std::optional<std::string> first =
        ReadHiddenLine(terminal, mode == PasswordMode::Enter ? kOpeningQuestion : kNewPasswordQuestion);
    const std::optional<std::string> second =
        first && mode == PasswordMode::Set ? ReadHiddenLine(terminal, kNewPasswordAgain) : first;
    if (!first || !second) {
        PrintErr(Printf(kCannotReadPasswordFile, path.c_str(), SystemErrorText(errno).c_str()));
        return std::nullopt;
    }
    if (*first == *second) return first;
    PrintErr(kPasswordsDiffer);
    return std::nullopt;
}

}  // namespace

std::optional<PasswordBlocks> CliPrompt::AskPassword(PasswordMode mode)
{
    if (password_) return password_;
    if (mode == PasswordMode::Set) return PasswordBlocks{};
    // Only when epk is run from a terminal, so that scripts never wait for
    // a keyboard.
    if (!::isatty(STDIN_FILENO)) return std::nullopt;
    File tty;
    tty.Adopt(::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY));
    if (!tty.IsOpen()) return std::nullopt;
    const std::optional<std::string> typed = ReadHiddenLine(tty.Fd(), kOpeningQuestion);
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

std::optional<std::string> ReadPasswordFile(const std::string& path, PasswordMode mode)
{
    InputFile file;
    if (!file.Open(path)) {
        PrintErr(Printf(kCannotReadPasswordFile, path.c_str(), file.Error().c_str()));
        return std::nullopt;
    }
    if (file.Kind() == InputKind::Terminal) return AskOnTerminal(path, file.Fd(), mode);
    std::optional<std::string> text = file.ReadToEnd();
    if (!text) {
        PrintErr(Printf(kCannotReadPasswordFile, path.c_str(), file.Error().c_str()));
        return std::nullopt;
    }
    if (!text->empty() && text->back() == '\n') text->pop_back();
    if (!text->empty() && text->back() == '\r') text->pop_back();
    return text;
}

}  // namespace tarvex::epk
