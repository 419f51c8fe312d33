#include "tools/epk/Console.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include "base/SystemErrorText.h"
#include "platform/Console.h"
#include "platform/DiskPaths.h"
#include "talk/Messages.h"
#include "tools/epk/Commands.h"

namespace tarvex::epk {
namespace {

constexpr const char* kCannotWriteOutput = "无法写到标准输出！\n%s\n";
constexpr std::string_view kProgramName = "epk: ";

// Each line of a message with the program's name in front.
std::string Attributed(std::string_view text)
{
    std::string out;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        out += kProgramName;
        out += text.substr(0, end);
        out += '\n';
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return out;
}

void WriteErr(std::string_view text)
{
    if (WriteToConsole(stderr, text) == ConsoleWrite::NotAConsole) std::fwrite(text.data(), 1, text.size(), stderr);
}

// Called right after a stdio call on stdout failed, with its errno; stdout's
// error indicator, now set, keeps the failure for FinishOutput.
void SayOutputFailed(int error)
{
    if (error == EPIPE) return;
    WriteErr(Attributed(Printf(kCannotWriteOutput, SystemErrorText(error).c_str())));
}

// Writes out what stdout holds; false once stdout has failed (said once).
bool FlushOutput()
{
    if (std::ferror(stdout)) return false;
    if (std::fflush(stdout) == 0) return true;
    SayOutputFailed(errno);
    return false;
}

}  // namespace

bool Print(std::string_view text)
{
    if (std::ferror(stdout)) return false;
    // A console that fails the text fails the bytes as well, which stdout
    // then keeps for FinishOutput.
    if (WriteToConsole(stdout, text) == ConsoleWrite::Written) return true;
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size()) return true;
    SayOutputFailed(errno);
    return false;
}

void PrintErr(std::string_view text)
{
    FlushOutput();
    WriteErr(Attributed(text));
}

void DrawErr(std::string_view text)
{
    WriteErr(text);
}

std::string Quoted(std::string_view name)
{
    return "“" + std::string(name) + "”";
}

bool IsFolderOrSay(const std::string& path)
{
    PathStatus st;
    std::string error;
    if (LookAtPath(path, st, error) == PathState::Found && st.kind == FileKind::Folder) return true;
    PrintErr(Quoted(path) + "不是一个文件夹。");
    return false;
}

int FinishOutput(int status)
{
    bool written = FlushOutput();
    // A close reports what a file system kept back until then (NFS, for
    // one); a standard output closed by the caller (EBADF), to which nothing
    // was written, loses nothing.
    if (std::fclose(stdout) != 0 && written && errno != EBADF) {
        SayOutputFailed(errno);
        written = false;
    }
    return (written || status != 0) ? status : kExitFailure;
}

}  // namespace tarvex::epk
