#include "tools/epk/PackSession.h"

#include <cmath>
#include <cstdlib>

#include "talk/Messages.h"
#include "tools/epk/Console.h"
#include "tools/epk/StandardStreams.h"

namespace tarvex::epk {
namespace {

// Long enough for another command's save of a big pack, short enough that a
// build step stuck behind a program that never lets go fails soon.
constexpr double kDefaultWaitSeconds = 10;
// More than any wait worth asking for; "--wait 1e9" waits about this long.
constexpr double kLongestWaitSeconds = 365.0 * 24 * 3600;

constexpr const char* kCannotReadInput = "无法从标准输入读取文件包！\n%s";

}  // namespace

std::optional<LockWait> WaitOption(const CliArgs& args)
{
    double seconds = kDefaultWaitSeconds;
    if (const std::optional<std::string> text = args.Value("--wait")) {
        char* end = nullptr;
        seconds = std::strtod(text->c_str(), &end);
        if (text->empty() || *end != '\0' || !std::isfinite(seconds) || seconds < 0) return std::nullopt;
    }
    LockWait wait;
    wait.limit = std::chrono::milliseconds(static_cast<long long>(std::min(seconds, kLongestWaitSeconds) * 1000));
    return wait;
}

LockWait SaveWait(const std::string& path, const CliArgs& args)
{
    LockWait wait = WaitOption(args).value_or(LockWait{});
    wait.onWaiting = [path] { PrintErr(Printf(msg::kPackWaiting, path.c_str()) + "\n"); };
    return wait;
}

bool PackSession::UsePasswordOption(const CliArgs& args, PasswordMode mode)
{
    const std::optional<std::string> file = args.Value("--password-file");
    if (!file) return true;
    const std::optional<std::string> text = ReadPasswordFile(*file, mode);
    if (!text) return false;
    const std::optional<PasswordBlocks> blocks = PasswordFromText(*text);
    if (!blocks) return false;
    prompt.SetPassword(*blocks);
    return true;
}

bool PackSession::Open(const std::string& path, const CliArgs& args)
{
    if (!UsePasswordOption(args)) return false;
    if (path != kStandardStream) return archive.Load(path, prompt);
    std::string error;
    const std::shared_ptr<HeldPack> pack = PackFromStandardInput(error);
    if (pack) return archive.Load(pack, prompt);
    PrintErr(Printf(kCannotReadInput, error.c_str()));
    return false;
}

bool PackSession::OpenForEdit(const std::string& path, const CliArgs& args)
{
    if (!UsePasswordOption(args)) return false;
    std::shared_ptr<HeldPack> pack;
    std::string error;
    switch (HeldPack::OpenLocked(path, SaveWait(path, args), pack, error)) {
    case LockResult::Locked: return archive.Load(pack, prompt);
    case LockResult::Busy:
        PrintErr(Printf("文件包“%s”一直被另一个程序修改着，没有改变它。可以用 --wait 秒数 等得更久。\n", path.c_str()));
        return false;
    case LockResult::Failed:
        PrintErr(Printf(msg::kCannotOpenFile, path.c_str(), error.c_str()) + "\n");
        return false;
    }
    return false;
}

}  // namespace tarvex::epk
