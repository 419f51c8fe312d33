// epk among other shell tools: "-" for standard input and output, patterns
// inside the pack, extraction beside files already there, listings one path
// a line, cp and mv to new names, and schemes that do not shrink a file.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

#include "tests/cli/EpkRunner.h"
#include "tests/support/PackFixture.h"

namespace tarvex {
namespace {

using test::ReadFileBytes;
using test::TempDir;

// A shell command line with its output and messages captured as a whole.
EpkRun Shell(const std::string& line)
{
    return RunCaptured("{ " + line + "; }");
}

// A pack of: readme.txt, odd[1].txt, ui/menu.json, ui/logo.png, ui/img/a.json, 配置/game.ini.
class EpkShell : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.Write("src/readme.txt", test::TextLikeBytes(3000, 1));
        dir.Write("src/odd[1].txt", std::string("odd"));
        dir.Write("src/ui/menu.json", std::string("{\"menu\":1}"));
        dir.Write("src/ui/logo.png", test::RandomBytes(900, 2));
        dir.Write("src/ui/img/a.json", std::string("{\"a\":2}"));
        dir.Write("src/配置/game.ini", std::string("width=1024\n"));
        ASSERT_EQ(Epk({"create", pack, dir / "src"}).status, 0);
    }

    // Runs epk with the pack after the command word.
    EpkRun Run(std::vector<std::string> args)
    {
        args.insert(args.begin() + 1, pack);
        return Epk(args);
    }

    std::string Listed(const std::string& packPath = "")
    {
        return Epk({"list", packPath.empty() ? pack : packPath}).out;
    }

    TempDir dir;
    std::string pack = dir / "p.epk";
};

TEST_F(EpkShell, APackGoesToStandardOutputAsTheFileWouldHoldItAndComesBackFromStandardInput)
{
    // Large files take the streamed paths of a save: one LZ cannot shrink,
    // one whose first part does not shrink while the whole does.
    std::vector<uint8_t> mixed = test::RandomBytes(4 << 20, 3);
    mixed.resize(18 << 20, 0);
    dir.Write("src/big/random.bin", test::RandomBytes(17 << 20, 4));
    dir.Write("src/big/mixed.bin", mixed);
    dir.Write("pw", std::string("口令"));
    const std::string epk = Quote(EPK_PATH);
    for (const std::vector<std::string>& options : std::vector<std::vector<std::string>>{
             {"--scheme", "lz", "--password-file", dir / "pw"}, {"--scheme", "none"}}) {
        std::string tail;
        for (const std::string& option : options) tail += " " + Quote(option);
        const std::string file = dir / "file.epk";
        ASSERT_EQ(Shell(epk + " create " + Quote(file) + " " + Quote(dir / "src") + tail).status, 0);
        const EpkRun piped =
            Shell(epk + " create - " + Quote(dir / "src") + tail + " | cat > " + Quote(dir / "piped.epk"));
        EXPECT_EQ(piped.status, 0) << piped.err;
        EXPECT_EQ(piped.out, "");
        EXPECT_NE(piped.err.find("epk: 已把文件包写到标准输出：8 个文件"), std::string::npos) << piped.err;
        EXPECT_TRUE(ReadFileBytes(dir / "piped.epk") == ReadFileBytes(file)) << options[1];
    }

    // Every reading command takes "-", from a pipe or a file, as it takes the file.
    ASSERT_EQ(Epk({"create", pack, dir / "src", "--scheme", "lz"}).status, 0);
    const std::string p = Quote(pack);
    for (const std::string& command :
         {std::string("list"), std::string("info"), std::string("test"),
          std::string("cat ARG ui/menu.json 配置/game.ini"), std::string("diff ARG " + p)}) {
        const auto line = [&](const std::string& packArg) {
            std::string words = command.find("ARG") == std::string::npos ? command + " ARG" : command;
            words.replace(words.find("ARG"), 3, packArg);
            return epk + " " + words;
        };
        const EpkRun fromFile = Shell(line(p));
        std::string expected = fromFile.out;
        if (command == "info") expected.replace(expected.find(pack), pack.size(), "-");
        for (const std::string& fromInput : {"cat " + p + " | " + line("-"), line("-") + " < " + p}) {
            const EpkRun r = Shell(fromInput);
            EXPECT_EQ(r.status, fromFile.status) << fromInput << r.err;
            EXPECT_TRUE(r.out == expected) << fromInput;
        }
    }
    const EpkRun extracted = Shell("cd " + Quote(dir.Path()) + " && cat " + p + " | " + epk + " extract - out");
    EXPECT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_EQ(ReadFileBytes(dir / "out/big/mixed.bin"), mixed);

    // A stream that cannot take the pack fails the command, and says that
    // what went out is not a pack.
    const EpkRun full = Shell(epk + " create - " + Quote(dir / "src") + " > /dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "epk: 无法把文件包写到标准输出！\nepk: 磁盘空间不足\nepk: 已经写出的部分不是完整的文件包。\n");
    EXPECT_NE(Shell("echo not a pack | " + epk + " list -").err.find("epk: 错误的文件或损坏的文件！"),
              std::string::npos);
}

TEST_F(EpkShell, PatternsPickWhatTheyMatchAndNoWildcardsTakesNamesAsTheyAre)
{
    const struct {
        std::vector<std::string> args;  // after "list PACK"
        std::string listed;             // the paths, one a line
        int status;
    } cases[] = {
        {{"ui/*.json"}, "ui/menu.json\nui/img/a.json\n", 0},  // '*' matches '/' too
        {{"ui/*/"}, "ui/img/a.json\n", 0},                    // folders only
        {{"*.txt"}, "odd[1].txt\nreadme.txt\n", 0},
        {{"配?/*"}, "配置/game.ini\n", 0},
        {{"ui"}, "ui/logo.png\nui/menu.json\nui/img/a.json\n", 0},
        {{"odd[1].txt"}, "", 1},  // a pattern for odd1.txt
        {{"odd\\[1].txt"}, "odd[1].txt\n", 0},
        {{"odd[1].txt", "--no-wildcards"}, "odd[1].txt\n", 0},
        {{"nothing*", "readme.txt"}, "readme.txt\n", 1},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"list"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const EpkRun r = Run(args);
        std::string paths;
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);) paths += line.substr(0, line.find('\t')) + "\n";
        EXPECT_EQ(paths, c.listed) << c.args[0];
        EXPECT_EQ(r.status, c.status) << c.args[0];
        EXPECT_EQ(r.err, c.status ? "epk: 文件包中没有“" + c.args[0] + "”。\n" : "") << c.args[0];
    }

    // The same matching for every command that takes pack paths.
    EpkRun r = Run({"cat", "ui/*.json"});
    EXPECT_EQ(r.out, "{\"menu\":1}{\"a\":2}");
    r = Run({"extract", dir / "out", "ui/*.json", "配?"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(PathsBelow(dir, "out", false), (std::set<std::string>{"ui/menu.json", "ui/img/a.json", "配置/game.ini"}));
    r = Run({"scheme", "*.json", "rle", "--dry-run"});
    EXPECT_EQ(
        r.out,
        "编码方案 ui/menu.json：不编码 → RLE\n编码方案 ui/img/a.json：不编码 → RLE\n试运行：没有写入任何文件。\n");
    r = Run({"rm", "ui/*", "*.txt", "nothing*"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "epk: 文件包中没有“nothing*”。\n");
    EXPECT_EQ(r.out,
              "删除文件夹 ui/img（连同其中的 1 个文件）\n删除 ui/logo.png\n删除 ui/menu.json\n删除 odd[1].txt\n"
              "删除 readme.txt\n");
    EXPECT_EQ(Listed(), "配置/game.ini\t11\t11\t不编码\n");
}

TEST_F(EpkShell, ExtractGoesToTheCurrentFolderAndOverwritesKeepsOrSkipsFilesThere)
{
    const std::string epk = Quote(EPK_PATH);
    EpkRun r = Shell("mkdir " + Quote(dir / "here") + " && cd " + Quote(dir / "here") + " && " + epk + " extract " +
                     Quote(pack) + " && " + epk + " extract " + Quote(pack) + " -C ../there ui");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.List("fresh"), std::vector<std::string>{});
    EXPECT_EQ(PathsBelow(dir, "there", false), (std::set<std::string>{"ui/menu.json", "ui/logo.png", "ui/img/a.json"}));
    // What the pack holds is no destination: written as tar's users write
    // paths, it is refused rather than made a folder of that name.
    dir.MakeDir("fresh");
    for (const std::string& path : {std::string("ui/*.json"), std::string("ui")}) {
        r = Shell("cd " + Quote(dir / "fresh") + " && " + epk + " extract " + Quote(pack) + " " + Quote(path));
        EXPECT_EQ(r.status, 2) << path;
        EXPECT_EQ(r.err, "epk: “" + path + "”是文件包里的路径，不是目标文件夹：请用 -C 目标文件夹 给出目标文件夹（当前文件夹是 -C .）。\n"
                         "epk: 用“epk extract --help”查看用法。\n");
    }
    EXPECT_EQ(dir.List("fresh"), std::vector<std::string>{});

    const struct {
        std::vector<std::string> options;
        int status;
        std::string err;
        std::string menu;  // what ui/menu.json holds afterwards
    } cases[] = {
        {{}, 0, "", "{\"menu\":1}"},
        {{"--keep-old-files"}, 1, "epk: “" + dir / "d/ui/menu.json" + "”已经存在，没有覆盖。\n", "changed"},
        {{"--skip-old-files"}, 0, "epk: “" + dir / "d/ui/menu.json" + "”已经存在，已跳过。\n", "changed"},
    };
    for (const auto& c : cases) {
        const std::string name = testing::PrintToString(c.options);
        std::filesystem::remove_all(dir / "d");
        dir.Write("d/ui/menu.json", std::string("changed"));
        ::chmod((dir / "d/ui/menu.json").c_str(), 0444);
        std::vector<std::string> args = {"extract", dir / "d", "ui"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        r = Run(args);
        EXPECT_EQ(r.status, c.status) << name;
        EXPECT_EQ(r.err, c.err) << name;
        EXPECT_EQ(ReadText(dir / "d/ui/menu.json"), c.menu) << name;
        EXPECT_EQ(ReadText(dir / "d/ui/img/a.json"), "{\"a\":2}") << name;  // the others still go out
    }
}

TEST_F(EpkShell, ListingsHoldOnePathALineAndJsonSaysItsFormat)
{
    dir.Write("odd/tab\there", std::string("t"));
    dir.Write("odd/line\nbreak", std::string("l"));
    dir.Write("odd/back\\slash", std::string("b"));
    const std::string odd = dir / "odd.epk";
    ASSERT_EQ(Epk({"create", odd, dir / "odd"}).status, 0);
    ASSERT_EQ(Epk({"mkdir", odd, "sub/deeper"}).status, 0);
    ASSERT_EQ(Epk({"add", odd, dir / "odd/back\\slash", "--to", "sub/deeper"}).status, 0);
    EXPECT_EQ(Listed(odd),
              "back\\\\slash\t1\t1\t不编码\nline\\nbreak\t1\t1\t不编码\ntab\\there\t1\t1\t不编码\n"
              "sub/deeper/back\\\\slash\t1\t1\t不编码\n");
    EXPECT_EQ(Epk({"list", odd, "sub", "--backslash"}).out, "sub\\deeper\\back\\\\slash\t1\t1\t不编码\n");
    EXPECT_EQ(
        Epk({"list", odd, "--json", "sub"}).out,
        "{\"format\":1,\"files\":[{\"path\":\"sub/deeper/back\\\\slash\",\"name\":\"back\\\\slash\",\"folder_id\":2,"
        "\"size\":1,\"stored_size\":1,\"scheme\":0,\"scheme_name\":\"不编码\"}],\"folders\":[{\"path\":\"sub\","
        "\"id\":1},{\"path\":\"sub/deeper\",\"id\":2}]}\n");
    EXPECT_EQ(Epk({"test", odd, "--json"}).out,
              "{\"format\":1,\"pack\":\"" + odd +
                  "\",\"tested\":4,\"failed\":[],\"orphans\":[],\"repeated_folders\":[],"
                  "\"ok\":true}\n");
    ASSERT_EQ(Run({"rm", "readme.txt", "--no-wildcards", "odd[1].txt"}).status, 0);
    ASSERT_EQ(Run({"mkdir", "new"}).status, 0);
    const std::string other = dir / "other.epk";
    ASSERT_EQ(Epk({"create", other, dir / "src"}).status, 0);
    EpkRun r = Epk({"diff", pack, other});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "只在 A 中：new/\n只在 B 中：odd[1].txt\n只在 B 中：readme.txt\n");
    r = Epk({"diff", pack, other, "--json"});
    EXPECT_EQ(r.out, "{\"format\":1,\"a\":\"" + pack + "\",\"b\":\"" + other +
                         "\",\"only_in_a\":[\"new/\"],\"only_in_b\":[\"odd[1].txt\",\"readme.txt\"],\"different\":[],"
                         "\"not_compared\":[],\"same\":false}\n");
    r = Epk({"plugins", "--json"});
    EXPECT_EQ(r.out.substr(0, 21), "{\"format\":1,\"folder\":");
    EXPECT_NE(r.out.find("{\"module\":\"zstd-fast.edl\",\"provider\":\"Zstandard 快速\",\"version\":"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"decodes\":true,\"thread_safe\":true}"), std::string::npos) << r.out;
}

TEST_F(EpkShell, CpAndMvGoIntoAFolderThatExistsAndElseTakeTheNewName)
{
    const struct {
        std::vector<std::string> args;
        std::string out;
        std::string listed;  // afterwards, paths only
    } cases[] = {
        {{"cp", "ui", "ui-backup"},
         "复制 ui → ui-backup\n",
         "odd[1].txt readme.txt ui/logo.png ui/menu.json ui/img/a.json 配置/game.ini ui-backup/logo.png "
         "ui-backup/menu.json ui-backup/img/a.json "},
        {{"cp", "ui/img", "配置"},
         "复制 ui/img → 配置/img\n",
         "odd[1].txt readme.txt ui/logo.png ui/menu.json ui/img/a.json 配置/game.ini 配置/img/a.json "},
        {{"cp", "readme.txt", "ui/readme-copy.txt"},
         "复制 readme.txt → ui/readme-copy.txt\n",
         "odd[1].txt readme.txt ui/logo.png ui/menu.json ui/img/a.json 配置/game.ini ui/readme-copy.txt "},
        {{"mv", "ui/logo.png", "logo.png"},
         "移动 ui/logo.png → logo.png\n",
         "odd[1].txt readme.txt logo.png ui/menu.json ui/img/a.json 配置/game.ini "},
        {{"mv", "ui/img", "配置/images"},
         "移动 ui/img → 配置/images\n",
         "odd[1].txt readme.txt ui/logo.png ui/menu.json 配置/images/a.json 配置/game.ini "},
        {{"mv", "readme.txt", "ui"},
         "移动 readme.txt → ui/readme.txt\n",
         "odd[1].txt ui/readme.txt ui/logo.png ui/menu.json ui/img/a.json 配置/game.ini "},
        {{"mv", "readme.txt", "intro.txt"},
         "移动 readme.txt → intro.txt\n",
         "odd[1].txt intro.txt ui/logo.png ui/menu.json ui/img/a.json 配置/game.ini "},
    };
    const auto pristine = ReadFileBytes(pack);
    for (const auto& c : cases) {
        dir.Write("p.epk", pristine);
        const EpkRun r = Run(c.args);
        EXPECT_EQ(r.status, 0) << c.args[2] << r.err;
        EXPECT_EQ(r.out, c.out) << c.args[2];
        std::string paths;
        std::istringstream lines(Listed());
        for (std::string line; std::getline(lines, line);) paths += line.substr(0, line.find('\t')) + " ";
        EXPECT_EQ(paths, c.listed) << c.args[2];
    }
    // Refused as the editor refuses them; nothing is written.
    dir.Write("p.epk", pristine);
    const struct {
        std::vector<std::string> args;
        std::string err;
    } refused[] = {
        {{"mv", "readme.txt", "nowhere/x.txt"}, "epk: 文件包中没有文件夹“nowhere”。\n"},
        {{"cp", "ui/menu.json", "ui/img/a.json"}, "epk: 该文件夹下已经有一个 a.json 存在！\n"},
        {{"mv", "ui", "ui/img/ui2"}, "epk: 无法移动文件夹！目标文件夹是源文件夹的子文件夹。\n"},
    };
    for (const auto& c : refused) {
        const EpkRun r = Run(c.args);
        EXPECT_EQ(r.status, 1) << c.args[2];
        EXPECT_EQ(r.err, c.err) << c.args[2];
        EXPECT_EQ(ReadFileBytes(pack), pristine) << c.args[2];
    }
}

TEST_F(EpkShell, SchemeSaysWhenAFileStaysUnencodedAndDoesNotCountItAsAChange)
{
    // Twelve bytes of one value: RLE makes them smaller, LZ does not.
    dir.Write("runs.bin", std::string(12, 'a'));
    ASSERT_EQ(Run({"add", dir / "runs.bin", "--scheme", "rle"}).status, 0);
    const EpkRun r = Run({"scheme", "ui/logo.png", "readme.txt", "runs.bin", "lz"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "没有改变 ui/logo.png：用 ZIV 编码不能变小，仍不编码保存\n"
              "编码方案 readme.txt：不编码 → ZIV\n"
              "编码方案 runs.bin：RLE → 不编码（用 ZIV 编码不能变小）\n");
    EXPECT_EQ(Run({"scheme", "ui/logo.png", "lz"}).out, "没有改变 ui/logo.png：用 ZIV 编码不能变小，仍不编码保存\n");
}

// The words the completion offers are the options each command's synopsis
// names, none more, none less.
TEST(EpkCompletion, EveryCommandOffersTheOptionsItsUsageNames)
{
    const EpkRun verbs = Epk({"--completion-words"});
    ASSERT_EQ(verbs.status, 0);
    std::istringstream verbLines(verbs.out);
    size_t count = 0;
    for (std::string verb; std::getline(verbLines, verb); ++count) {
        const EpkRun words = Epk({"--completion-words", verb});
        std::set<std::string> offered;
        std::istringstream lines(words.out);
        for (std::string line; std::getline(lines, line);)
            if (line[0] == '-') offered.insert(line.substr(0, line.find(' ')));
        // The synopsis: the lines of the usage before its description.
        std::string synopsis;
        std::istringstream usage(Epk({verb, "--help"}).out);
        for (std::string line; std::getline(usage, line);) {
            const std::string start = line.substr(line.find_first_not_of(' '));
            if (!start.starts_with("用法：epk") && !start.starts_with("epk ") && !start.starts_with("[")) break;
            synopsis += line + "\n";
        }
        std::set<std::string> named = {"--help"};
        static const std::regex option("(^|[ \\[(|])(-{1,2}[A-Za-z][A-Za-z-]*)");
        for (auto it = std::sregex_iterator(synopsis.begin(), synopsis.end(), option); it != std::sregex_iterator();
             ++it)
            named.insert((*it)[2]);
        EXPECT_EQ(offered, named) << verb;
    }
    EXPECT_EQ(count, 18u);
}

}  // namespace
}  // namespace tarvex
