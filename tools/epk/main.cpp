// epk: builds, inspects and unpacks .epk resource packs from the command line.
#include <clocale>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"

namespace tarvex::epk {
namespace {

struct Command {
    const char* name;
    int (*run)(const CliArgs&);
    size_t positionals;
    std::set<std::string> valued;
    std::set<std::string> flags;
    const char* usage;
};

const std::vector<Command>& CommandTable()
{
    static const std::vector<Command> commands = {
        {"create", RunCreate, 2, {"--scheme", "--password-file"}, {},
         "epk create 文件包 文件夹 [--scheme none|rle|lz] [--password-file 密码文件]\n"
         "    把文件夹里的文件和子文件夹打成一个文件包。编码后不能变小的文件不编码保存。"},
        {"list", RunList, 1, {"--password-file"}, {},
         "epk list 文件包 [--password-file 密码文件]\n"
         "    每个文件一行：包内路径、文件大小、存储大小、编码方案，以制表符分隔。"},
        {"extract", RunExtract, 2, {"--password-file"}, {},
         "epk extract 文件包 目标文件夹 [--password-file 密码文件]\n"
         "    把所有文件连同文件夹解压缩到目标文件夹中。"},
        {"test", RunTest, 1, {"--password-file"}, {},
         "epk test 文件包 [--password-file 密码文件]\n"
         "    在内存中解码每个文件，列出解码失败的文件。"},
        {"info", RunInfo, 1, {"--password-file"}, {},
         "epk info 文件包 [--password-file 密码文件]\n"
         "    显示格式版本、是否加密、文件夹数、文件数和扩展编码插件表。"},
    };
    return commands;
}

std::string Usage()
{
    std::string text =
        "用法：epk 命令 参数...\n\n"
        "命令：\n";
    for (const Command& c : CommandTable()) text += std::string("  ") + c.usage + "\n";
    text +=
        "\n密码从密码文件读取（去掉末尾的换行），不从命令行读取。打开加密的文件包而没有\n"
        "给出密码文件时，如果有终端，就在终端上询问密码。\n"
        "退出状态：0 成功，1 失败，2 用法错误。\n";
    return text;
}

int Main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        PrintErr(Usage());
        return kExitUsage;
    }
    if (args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
        Print(Usage());
        return kExitOk;
    }
    for (const Command& command : CommandTable()) {
        if (args[0] != command.name) continue;
        std::string error;
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        std::optional<CliArgs> parsed = ParseCliArgs(rest, command.valued, command.flags, error);
        if (parsed && parsed->positional.size() != command.positionals)
            error = "参数个数不对。";
        if (!parsed || !error.empty()) {
            PrintErr(error + "\n用法：" + command.usage + "\n");
            return kExitUsage;
        }
        return command.run(*parsed);
    }
    PrintErr("未知的命令：" + args[0] + "\n\n" + Usage());
    return kExitUsage;
}

}  // namespace
}  // namespace tarvex::epk

int main(int argc, char** argv)
{
    return tarvex::epk::Main(argc, argv);
}
