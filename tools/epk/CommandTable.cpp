#include "tools/epk/CommandTable.h"

#include "tools/epk/Commands.h"

namespace tarvex::epk {
namespace {

const OptionSpec kPassword{"--password-file", "file"};
const OptionSpec kWait{"--wait", "seconds"};
const OptionSpec kScheme{"--scheme", "scheme"};
const OptionSpec kExclude{"--exclude", "pattern"};
const OptionSpec kDryRun{"--dry-run"};
const OptionSpec kJson{"--json"};
const OptionSpec kNoWildcards{"--no-wildcards"};

}  // namespace

const std::vector<CommandSpec>& CommandTable()
{
    static const std::vector<CommandSpec> commands = {
        {"create", RunCreate, 2, 2, "newpack folder", {kScheme, kPassword, kExclude, kWait}, true,
         "epk create 文件包 文件夹 [--scheme none|rle|lz|模块.edl] [--password-file 密码文件]\n"
         "           [--exclude 模式]... [--wait 秒数]\n"
         "    把文件夹里的文件和子文件夹打成一个文件包。编码后不能变小的文件不编码保存。\n"
         "    模块.edl 是 plugins 文件夹里的扩展编码插件（见 epk plugins）。\n"
         "    文件包写作“-”时，把文件包从头到尾写到标准输出。"},
        {"list", RunList, 1, kAnyCount, "pack packpath...", {kJson, {"--backslash"}, kNoWildcards, kPassword}, true,
         "epk list 文件包 [包内路径...] [--json] [--backslash] [--no-wildcards] [--password-file 密码文件]\n"
         "    每个文件一行：包内路径、文件大小、存储大小、编码方案，以制表符分隔；给出包内路径\n"
         "    时只列出这些文件和这些文件夹里的文件。包内路径用“/”分隔文件夹（加 --backslash\n"
         "    时用“\\”），名字里的“\\”、制表符和换行符写作 \\\\、\\t 和 \\n。"},
        {"info", RunInfo, 1, 1, "pack", {kJson, kPassword}, true,
         "epk info 文件包 [--json] [--password-file 密码文件]\n"
         "    显示格式版本、是否加密、文件夹数、文件数和扩展编码插件表。"},
        {"test", RunTest, 1, 1, "pack", {kJson, kPassword}, true,
         "epk test 文件包 [--json] [--password-file 密码文件]\n"
         "    在内存中解码每个文件，列出解码失败的文件。"},
        {"extract", RunExtract, 1, kAnyCount, "pack dest packpath...",
         {{"-C", "folder"}, {"--keep-old-files"}, {"--skip-old-files"}, kNoWildcards, kPassword}, true,
         "epk extract 文件包 [目标文件夹 [包内路径...]] [--keep-old-files | --skip-old-files]\n"
         "            [--no-wildcards] [--password-file 密码文件]\n"
         "epk extract 文件包 -C 目标文件夹 [包内路径...] [...]\n"
         "    把所有文件连同文件夹解压缩到目标文件夹中（默认是当前文件夹）；给出包内路径时只\n"
         "    解压缩这些文件和文件夹（文件夹连同其中的一切），连同它们所在的文件夹。已经存在的\n"
         "    文件默认被覆盖；--keep-old-files：不覆盖，算作错误；--skip-old-files：不覆盖，\n"
         "    列在标准错误上。文件包后面的参数是包内路径或模式（而磁盘上没有这个文件夹）时，\n"
         "    不把它当作目标文件夹：请用 -C 给出目标文件夹。"},
        {"cat", RunCat, 2, kAnyCount, "pack packpath...", {kNoWildcards, kPassword}, true,
         "epk cat 文件包 包内路径... [--no-wildcards] [--password-file 密码文件]\n"
         "    按给出的顺序把文件解码后的内容写到标准输出，其他信息都写到标准错误。"},
        {"mount", RunMount, 2, 2, "pack folder", {{"--foreground"}, kPassword}, false,
         "epk mount 文件包 挂载点 [--foreground] [--password-file 密码文件]\n"
         "    把文件包以只读方式挂载到挂载点（一个文件夹），文件和文件夹的名字与解压缩时相同，\n"
         "    文件读取时才解码。挂载完成后转到后台运行；加 --foreground 时留在前台，并在标准\n"
         "    错误上报告读取失败的文件。用“fusermount3 -u 挂载点”卸载，或者结束 epk。"},
        {"diff", RunDiff, 2, 2, "pack pack", {kJson, kPassword, {"--password-file-b", "file"}}, true,
         "epk diff 文件包A 文件包B [--json] [--password-file 密码文件] [--password-file-b B的密码文件]\n"
         "    列出只在一个文件包中的文件和文件夹，以及解码后内容不同的文件。\n"
         "    退出状态：0 相同，1 不同，2 无法比较。"},
        {"add", RunAdd, 2, kAnyCount, "pack file...",
         {{"--to", "packfolder"}, kScheme, {"-r"}, kDryRun, kExclude, kPassword, kWait}, false,
         "epk add 文件包 文件... [--to 包内文件夹] [--scheme none|rle|lz|模块.edl] [-r] [--dry-run]\n"
         "        [--exclude 模式]... [--password-file 密码文件] [--wait 秒数]\n"
         "    把文件（加 -r 时连同文件夹）加入包内文件夹（不存在时新建）。"},
        {"mkdir", RunMkdir, 2, 2, "pack packfolder", {kDryRun, kPassword, kWait}, false,
         "epk mkdir 文件包 包内文件夹 [--dry-run] [--password-file 密码文件] [--wait 秒数]\n"
         "    新建文件夹（连同缺少的上级文件夹）。"},
        {"rm", RunRm, 2, kAnyCount, "pack packpath...", {kDryRun, kNoWildcards, kPassword, kWait}, false,
         "epk rm 文件包 包内路径... [--dry-run] [--no-wildcards] [--password-file 密码文件] [--wait 秒数]\n"
         "    删除文件；删除文件夹时连同其中的一切。"},
        {"mv", RunMv, 3, 3, "pack packpath packpath", {kDryRun, kPassword, kWait}, false,
         "epk mv 文件包 包内路径 目标 [--dry-run] [--password-file 密码文件] [--wait 秒数]\n"
         "    目标是已有的文件夹时，把文件或文件夹移到其中（根文件夹写作 \"\" 或 /）；目标不存在\n"
         "    时，移过去并改名为目标（同 mv）。"},
        {"cp", RunCp, 3, 3, "pack packpath packpath", {kDryRun, kPassword, kWait}, false,
         "epk cp 文件包 包内路径 目标 [--dry-run] [--password-file 密码文件] [--wait 秒数]\n"
         "    目标是已有的文件夹时，把文件或文件夹（连同其中的一切）复制到其中；目标不存在时，\n"
         "    复制一份名为目标的副本（同 cp -r）。"},
        {"rename", RunRename, 3, 3, "pack packpath name", {kDryRun, kPassword, kWait}, false,
         "epk rename 文件包 包内路径 新名字 [--dry-run] [--password-file 密码文件] [--wait 秒数]\n"
         "    给文件或文件夹改名。"},
        {"scheme", RunScheme, 3, kAnyCount, "pack schemepath...", {kDryRun, kNoWildcards, kPassword, kWait}, false,
         "epk scheme 文件包 包内路径... none|rle|lz|模块.edl [--dry-run] [--no-wildcards]\n"
         "           [--password-file 密码文件] [--wait 秒数]\n"
         "    给文件（或文件夹中的所有文件）选择编码方案；0 字节的文件不能编码。编码后不能变小\n"
         "    的文件仍不编码保存，并且会说明。"},
        {"passwd", RunPasswd, 1, 1, "pack",
         {{"--new-password-file", "file"}, {"--no-password"}, kDryRun, kPassword, kWait}, false,
         "epk passwd 文件包 [--password-file 旧密码文件] (--new-password-file 新密码文件 | --no-password)\n"
         "           [--dry-run] [--wait 秒数]\n"
         "    用新密码（或不用密码）重新存盘。"},
        {"sync", RunSync, 2, 2, "pack folder", {kScheme, {"--delete"}, kDryRun, kJson, kPassword, kExclude, kWait}, false,
         "epk sync 文件包 文件夹 [--scheme none|rle|lz|模块.edl] [--delete] [--dry-run] [--json]\n"
         "         [--password-file 密码文件] [--exclude 模式]... [--wait 秒数]\n"
         "    让文件包与文件夹一致（文件夹是包的根，同 create）：加入新文件和新文件夹，\n"
         "    内容有变化的文件重新编码（给出 --scheme 时用它，否则用原来的编码方案），内容\n"
         "    没有变化的文件原样保留；加 --delete 时删除文件夹里已经没有的文件和文件夹（被\n"
         "    排除的除外）。每个改变一行，最后一行是汇总；没有改变时不写文件包。文件包不存在\n"
         "    时新建。--json 以 JSON 列出改变。"},
        {"plugins", RunPlugins, 0, 0, "", {kJson}, false,
         "epk plugins [--json]\n"
         "    列出 epk 旁边 plugins 文件夹里可用的扩展编码插件：模块文件名、名称、版本、能否解码、\n"
         "    能否多线程。"},
    };
    return commands;
}

const CommandSpec* FindCommand(const std::string& name)
{
    for (const CommandSpec& c : CommandTable())
        if (name == c.name) return &c;
    return nullptr;
}

std::string Usage()
{
    std::string text =
        "用法：epk 命令 参数...\n"
        "      epk 命令 --help（或 -h）    显示一个命令的用法\n\n"
        "命令：\n";
    for (const CommandSpec& c : CommandTable()) text += std::string("  ") + c.usage + "\n";
    text +=
        "\n包内路径用“/”或“\\”分隔文件夹，名字区分大小写。list、extract、cat、rm 和 scheme 的\n"
        "包内路径可以是 shell 通配符模式（“*”“?”“[...]”，与用“/”分隔文件夹的包内路径比较，\n"
        "“*”也匹配“/”；模式里用“/”分隔文件夹，“\\”使下一个字符失去特殊含义）；加\n"
        "--no-wildcards 时按原样比较。没有匹配任何文件或文件夹的模式与不存在的路径一样报告。\n"
        "接受多个路径的地方（add 的文件，list、rm、scheme、extract 和 cat 的包内路径）可以写\n"
        "@列表文件：列表文件是 UTF-8 文本，每行一个路径，空行不算。--exclude 模式（可以给出\n"
        "多次）按同样的规则与包内路径比较；不含“/”的模式也与名字本身比较，例如\n"
        "--exclude '*.tmp' 或 --exclude .git；排除一个文件夹就排除其中的一切。\n"
        "\n文件包写作“-”时指标准输入（list、info、test、extract、cat、diff 读取）或标准输出\n"
        "（create 写入）；名字是“-”的文件请写作 ./-。\n"
        "\n修改文件包的命令（add、mkdir、rm、mv、cp、rename、\n"
        "scheme、passwd、sync）都会先完整地写出新文件包，再替换原来的文件包；没有改变的文件原样\n"
        "保留，不重新编码；除 passwd 外保留原来的密码。加 --dry-run 只显示将要做的改变。\n"
        "另一个程序正在修改同一个文件包时，这些命令和 create 先等它完成，最多等 10 秒\n"
        "（--wait 秒数 可以改变）；文件包在读出以后被别的程序替换或改写时，不写入文件包。\n"
        "\n密码从密码文件读取（去掉末尾的换行），不从命令行读取；密码文件和列表文件可以是\n"
        "管道，/dev/null 表示没有密码，给出终端（/dev/tty）时在终端上询问密码。打开加密的\n"
        "文件包而没有给出密码文件时，如果有终端，就在终端上询问密码。\n"
        "--json 输出的 JSON 带有 \"format\": 1，各个字段见 man epk。\n"
        "退出状态：0 成功，1 失败（或有被拒绝的操作），2 用法错误。\n";
    return text;
}

}  // namespace tarvex::epk
