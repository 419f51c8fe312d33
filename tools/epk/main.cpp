// epk: builds, inspects and unpacks .epk resource packs from the command line.
#include <algorithm>
#include <clocale>
#include <set>
#include <string>
#include <vector>

#include "base/LargeBlocks.h"
#include "base/Printf.h"
#include "platform/Console.h"
#include "tools/epk/CommandTable.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"
#include "tools/epk/PackSession.h"

namespace tarvex::epk {
namespace {

// A usage error: one line, and where the usage is told.
int BadUsage(const std::string& error, const std::string& help)
{
    PrintErr(error + "\n用“" + help + "”查看用法。");
    return kExitUsage;
}

bool AsksForHelp(const std::vector<std::string>& args)
{
    const auto optionsEnd = std::find(args.begin(), args.end(), "--");
    return std::find_if(args.begin(), optionsEnd, [](const std::string& a) { return a == "--help" || a == "-h"; }) !=
           optionsEnd;
}

// For the shell's completion: the commands, or what one command takes (its
// options, each with the kind of its value, then ":KIND" per positional).
int PrintCompletionWords(const std::vector<std::string>& args)
{
    std::string out;
    if (args.empty()) {
        for (const CommandSpec& c : CommandTable()) out += std::string(c.name) + "\n";
        return Print(out) ? kExitOk : kExitFailure;
    }
    const CommandSpec* command = FindCommand(args[0]);
    if (!command) return kExitUsage;
    for (const OptionSpec& option : command->options)
        out += std::string(option.name) + (option.value ? std::string(" ") + option.value : "") + "\n";
    out += "--help\n";
    std::string_view kinds = command->arguments;
    while (!kinds.empty()) {
        const size_t space = kinds.find(' ');
        out += ":" + std::string(kinds.substr(0, space)) + "\n";
        kinds.remove_prefix(space == std::string_view::npos ? kinds.size() : space + 1);
    }
    return Print(out) ? kExitOk : kExitFailure;
}

int RunCommand(const CommandSpec& command, const std::vector<std::string>& rest)
{
    const std::string help = std::string("epk ") + command.name + " --help";
    if (AsksForHelp(rest)) return Print(std::string("用法：") + command.usage + "\n") ? kExitOk : kExitFailure;
    std::set<std::string> valued, flags;
    for (const OptionSpec& option : command.options) (option.value ? valued : flags).insert(option.name);
    std::string error;
    const std::optional<CliArgs> parsed = ParseCliArgs(rest, valued, flags, error);
    if (!parsed) return BadUsage(error, help);
    const size_t count = parsed->positional.size();
    if (count < command.minPositionals || count > command.maxPositionals)
        return BadUsage(Printf("%s 的参数个数不对。", command.name), help);
    if (!WaitOption(*parsed))
        return BadUsage("--wait 的值应当是等待的秒数（0 或更多）：" + parsed->Value("--wait").value_or(""), help);
    if (count > 0 && parsed->positional[0] == "-" && !command.streams)
        return BadUsage(Printf("%s 不能用“-”（标准输入或输出）作文件包；名字是“-”的文件请写作 ./-。", command.name),
                        help);
    return command.run(*parsed);
}

int Main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    UseBinaryStandardStreams();
    const std::vector<std::string> args = ProgramArguments(argc, argv);
    if (args.empty()) return BadUsage("没有给出命令。", "epk --help");
    const std::string& first = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (first == "--help" || first == "-h" || (first == "help" && rest.empty()))
        return Print(Usage()) ? kExitOk : kExitFailure;
    if (first == "help") {
        const CommandSpec* command = FindCommand(rest[0]);
        if (!command) return BadUsage("未知的命令" + Quoted(rest[0]) + "。", "epk --help");
        return RunCommand(*command, {"--help"});
    }
    if (first == "--version") return Print("epk " TARVEX_VERSION "\n") ? kExitOk : kExitFailure;
    if (first == "--completion-words") return PrintCompletionWords(rest);
    if (const CommandSpec* command = FindCommand(first)) return RunCommand(*command, rest);
    if (first.starts_with("-")) return BadUsage("未知的选项" + Quoted(first) + "。", "epk --help");
    return BadUsage("未知的命令" + Quoted(first) + "。", "epk --help");
}

}  // namespace
}  // namespace tarvex::epk

int main(int argc, char** argv)
{
    tarvex::KeepLargeBlocksMapped();
    return tarvex::epk::FinishOutput(tarvex::epk::Main(argc, argv));
}
