// epk: builds, inspects and unpacks .epk resource packs from the command line.
#include <algorithm>
#include <clocale>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "base/LargeBlocks.h"
#include "platform/Console.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"
#include "tools/epk/PackSession.h"

namespace tarvex::epk {
namespace {

constexpr size_t kAny = SIZE_MAX;

struct Command {
    const char* name;
    int (*run)(const CliArgs&);
    size_t minPositionals;
    size_t maxPositionals;
    std::set<std::string> valued;
    std::set<std::string> flags;
    const char* usage;
};

const std::vector<Command>& CommandTable()
{
    static const std::vector<Command> commands = {
        {"create", RunCreate, 2, 2, {"--scheme", "--password-file", "--wait", "--exclude"}, {},
         "epk create 文件包 文件夹 [--scheme none|rle|lz|模块.edl] [--password-file 密码文件]\n"
         "           [--exclude 模式]... [--wait 秒数]\n"
         "    把文件夹里的文件和子文件夹打成一个文件包。编码后不能变小的文件不编码保存。\n"
         "    模块.edl 是 plugins 文件夹里的扩展编码插件（见 epk plugins）。"},
        {"list", RunList, 1, 1, {"--password-file"}, {"--json"},
         "epk list 文件包 [--json] [--password-file 密码文件]\n"
         "    每个文件一行：包内路径、文件大小、存储大小、编码方案，以制表符分隔。"},
        {"info", RunInfo, 1, 1, {"--password-file"}, {"--json"},
         "epk info 文件包 [--json] [--password-file 密码文件]\n"
         "    显示格式版本、是否加密、文件夹数、文件数和扩展编码插件表。"},
        {"test", RunTest, 1, 1, {"--password-file"}, {},
         "epk test 文件包 [--password-file 密码文件]\n"
         "    在内存中解码每个文件，列出解码失败的文件。"},
        {"extract", RunExtract, 2, kAny, {"--password-file"}, {},
         "epk extract 文件包 目标文件夹 [包内路径...] [--password-file 密码文件]\n"
         "    把所有文件连同文件夹解压缩到目标文件夹中；给出包内路径时只解压缩这些文件和\n"
         "    文件夹（文件夹连同其中的一切），连同它们所在的文件夹。"},
        {"cat", RunCat, 2, kAny, {"--password-file"}, {},
         "epk cat 文件包 包内路径... [--password-file 密码文件]\n"
         "    按给出的顺序把文件解码后的内容写到标准输出，其他信息都写到标准错误。"},
        {"mount", RunMount, 2, 2, {"--password-file"}, {"--foreground"},
         "epk mount 文件包 挂载点 [--foreground] [--password-file 密码文件]\n"
         "    把文件包以只读方式挂载到挂载点（一个文件夹），文件和文件夹的名字与解压缩时相同，\n"
         "    文件读取时才解码。挂载完成后转到后台运行；加 --foreground 时留在前台，并在标准\n"
         "    错误上报告读取失败的文件。用 fusermount3 -u 挂载点 卸载，或者结束 epk。"},
        {"diff", RunDiff, 2, 2, {"--password-file", "--password-file-b"}, {},
         "epk diff 文件包A 文件包B [--password-file 密码文件] [--password-file-b B的密码文件]\n"
         "    列出只在一个文件包中的文件和文件夹，以及解码后内容不同的文件。\n"
         "    退出状态：0 相同，1 不同，2 无法比较。"},
        {"add", RunAdd, 2, kAny, {"--to", "--scheme", "--password-file", "--wait", "--exclude"}, {"-r", "--dry-run"},
         "epk add 文件包 文件... [--to 包内文件夹] [--scheme none|rle|lz|模块.edl] [-r] [--dry-run]\n"
         "        [--exclude 模式]... [--wait 秒数]\n"
         "    把文件（加 -r 时连同文件夹）加入包内文件夹（不存在时新建）。"},
        {"mkdir", RunMkdir, 2, 2, {"--password-file", "--wait"}, {"--dry-run"},
         "epk mkdir 文件包 包内文件夹 [--dry-run] [--wait 秒数]\n"
         "    新建文件夹（连同缺少的上级文件夹）。"},
        {"rm", RunRm, 2, kAny, {"--password-file", "--wait"}, {"--dry-run"},
         "epk rm 文件包 包内路径... [--dry-run] [--wait 秒数]\n"
         "    删除文件；删除文件夹时连同其中的一切。"},
        {"mv", RunMv, 3, 3, {"--password-file", "--wait"}, {"--dry-run"},
         "epk mv 文件包 包内路径 目标文件夹 [--dry-run] [--wait 秒数]\n"
         "    把文件或文件夹移到目标文件夹中（根文件夹写作 \"\" 或 /）。"},
        {"cp", RunCp, 3, 3, {"--password-file", "--wait"}, {"--dry-run"},
         "epk cp 文件包 包内路径 目标文件夹 [--dry-run] [--wait 秒数]\n"
         "    把文件或文件夹复制到目标文件夹中。"},
        {"rename", RunRename, 3, 3, {"--password-file", "--wait"}, {"--dry-run"},
         "epk rename 文件包 包内路径 新名字 [--dry-run] [--wait 秒数]\n"
         "    给文件或文件夹改名。"},
        {"scheme", RunScheme, 3, kAny, {"--password-file", "--wait"}, {"--dry-run"},
         "epk scheme 文件包 包内路径... none|rle|lz|模块.edl [--dry-run] [--wait 秒数]\n"
         "    给文件（或文件夹中的所有文件）选择编码方案；0 字节的文件不能编码。"},
        {"passwd", RunPasswd, 1, 1, {"--password-file", "--wait", "--new-password-file"}, {"--no-password", "--dry-run"},
         "epk passwd 文件包 [--password-file 旧密码文件] (--new-password-file 新密码文件 | --no-password)\n"
         "           [--wait 秒数]\n"
         "    用新密码（或不用密码）重新存盘。"},
        {"sync", RunSync, 2, 2, {"--scheme", "--password-file", "--wait", "--exclude"}, {"--delete", "--dry-run", "--json"},
         "epk sync 文件包 文件夹 [--scheme none|rle|lz|模块.edl] [--delete] [--dry-run] [--json]\n"
         "         [--password-file 密码文件] [--exclude 模式]... [--wait 秒数]\n"
         "    让文件包与文件夹一致（文件夹是包的根，同 create）：加入新文件和新文件夹，\n"
         "    内容有变化的文件重新编码（给出 --scheme 时用它，否则用原来的编码方案），内容\n"
         "    没有变化的文件原样保留；加 --delete 时删除文件夹里已经没有的文件和文件夹（被\n"
         "    排除的除外）。每个改变一行，最后一行是汇总；没有改变时不写文件包。文件包不存在\n"
         "    时新建。--json 以 JSON 列出改变。"},
        {"plugins", RunPlugins, 0, 0, {}, {},
         "epk plugins\n"
         "    列出 epk 旁边 plugins 文件夹里可用的扩展编码插件：模块文件名、名称、版本、能否解码。"},
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
        "\n包内路径用“/”或“\\”分隔文件夹，名字区分大小写。接受多个路径的地方（add 的文件，\n"
        "rm、scheme、extract 和 cat 的包内路径）可以写 @列表文件：列表文件是 UTF-8 文本，每行\n"
        "一个路径，空行不算。--exclude 模式（可以给出多次）按 shell 通配符规则与包内路径\n"
        "（用“/”分隔文件夹）比较，“*”也匹配“/”；不含“/”的模式也与名字本身比较，例如\n"
        "--exclude '*.tmp' 或 --exclude .git；排除一个文件夹就排除其中的一切。\n"
        "\n修改文件包的命令（add、mkdir、rm、mv、cp、rename、\n"
        "scheme、passwd、sync）都会先完整地写出新文件包，再替换原来的文件包；没有改变的文件原样\n"
        "保留，不重新编码；除 passwd 外保留原来的密码。加 --dry-run 只显示将要做的改变。\n"
        "另一个程序正在修改同一个文件包时，这些命令和 create 先等它完成，最多等 10 秒\n"
        "（--wait 秒数 可以改变）；文件包在读出以后被别的程序替换或改写时，不写入文件包。\n"
        "\n密码从密码文件读取（去掉末尾的换行），不从命令行读取；密码文件和列表文件可以是\n"
        "管道，/dev/null 表示没有密码，给出终端（/dev/tty）时在终端上询问密码。打开加密的\n"
        "文件包而没有给出密码文件时，如果有终端，就在终端上询问密码。\n"
        "退出状态：0 成功，1 失败（或有被拒绝的操作），2 用法错误。\n";
    return text;
}

int Main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    UseBinaryStandardStreams();
    std::vector<std::string> args = ProgramArguments(argc, argv);
    if (args.empty()) {
        PrintErr(Usage());
        return kExitUsage;
    }
    if (args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
        Print(Usage());
        return kExitOk;
    }
    if (args[0] == "--version") {
        Print("epk " TARVEX_VERSION "\n");
        return kExitOk;
    }
    for (const Command& command : CommandTable()) {
        if (args[0] != command.name) continue;
        std::string error;
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        const auto optionsEnd = std::find(rest.begin(), rest.end(), "--");
        if (std::find(rest.begin(), optionsEnd, "--help") != optionsEnd) {
            Print(std::string("用法：") + command.usage + "\n");
            return kExitOk;
        }
        std::optional<CliArgs> parsed = ParseCliArgs(rest, command.valued, command.flags, error);
        if (parsed && (parsed->positional.size() < command.minPositionals ||
                       parsed->positional.size() > command.maxPositionals))
            error = "参数个数不对。";
        if (parsed && error.empty() && !WaitOption(*parsed))
            error = "--wait 的值应当是等待的秒数（0 或更多）：" + parsed->Value("--wait").value_or("");
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
    tarvex::KeepLargeBlocksMapped();
    return tarvex::epk::FinishOutput(tarvex::epk::Main(argc, argv));
}
