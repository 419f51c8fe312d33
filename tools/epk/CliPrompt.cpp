#include "tools/epk/CliPrompt.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "base/GbkText.h"
#include "format/PasswordKeys.h"
#include "platform/Console.h"
#include "talk/Messages.h"
#include "tools/epk/Console.h"
#include "tools/epk/InputFiles.h"
#include "tools/epk/Terminal.h"

namespace tarvex::epk {

namespace {

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

void CliPrompt::ProgressBegin(uint32_t range)
{
    showProgress_ = CanDrawProgress(stderr);
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

// The password typed on the terminal a password file names; a new one is
// typed twice. Nothing (reported) when the terminal cannot be asked or the
// two answers differ.
std::optional<std::string> AskOnTerminal(const std::string& path, File& terminal, PasswordMode mode)
{
    std::string error;
    const std::optional<std::string> first =
        ReadHiddenLine(terminal, mode == PasswordMode::Enter ? kOpeningQuestion : kNewPasswordQuestion, error);
    const std::optional<std::string> second =
        first && mode == PasswordMode::Set ? ReadHiddenLine(terminal, kNewPasswordAgain, error) : first;
    if (!first || !second) {
        PrintErr(Printf(kCannotReadPasswordFile, path.c_str(), error.c_str()));
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
    File tty;
    if (!OpenSessionTerminal(tty)) return std::nullopt;
    std::string error;
    const std::optional<std::string> typed = ReadHiddenLine(tty, kOpeningQuestion, error);
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
    if (file.Kind() == InputKind::Terminal) return AskOnTerminal(path, file.Handle(), mode);
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
