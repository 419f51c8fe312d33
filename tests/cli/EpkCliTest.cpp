// epk driven end to end, as a script would run it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "base/GbkText.h"
#include "base/SystemErrorText.h"
#include "talk/Messages.h"
#include "tests/cli/EpkRunner.h"
#include "tests/support/PackFixture.h"
#include "tests/support/PackLayout.h"

namespace tarvex {
namespace {

using test::ReadFileBytes;
using test::TempDir;

// Every regular file below root, by relative path, with its bytes.
std::map<std::string, std::vector<uint8_t>> Tree(const TempDir& dir, const std::string& relative)
{
    std::map<std::string, std::vector<uint8_t>> files;
    for (const std::string& name : dir.List(relative)) {
        const std::string path = relative + "/" + name;
        struct stat st {};
        ::lstat((dir / path).c_str(), &st);
        if (S_ISDIR(st.st_mode)) {
            for (auto& [sub, bytes] : Tree(dir, path)) files[name + "/" + sub] = std::move(bytes);
        } else {
            files[name] = ReadFileBytes(dir / path);
        }
    }
    return files;
}

class EpkTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.Write("src/说明.txt", std::string("中文说明\n"));
        dir.Write("src/z.bin", test::RandomBytes(3000, 1));
        dir.Write("src/a/b/c/deep.txt", test::TextLikeBytes(20000, 2));
        dir.Write("src/a/runs.map", std::vector<uint8_t>(10000, 9));
        dir.Write("src/a/empty", std::string());
        dir.MakeDir("src/空文件夹");
        dir.Write("pw", std::string("口令\n"));
    }
    TempDir dir;
};

TEST_F(EpkTree, CreateListTestExtractRoundTrip)
{
    for (const char* scheme : {"none", "rle", "lz"}) {
        const std::string pack = dir / (std::string(scheme) + ".epk");
        EpkRun r = Epk({"create", pack, dir / "src", "--scheme", scheme, "--password-file", dir / "pw"});
        ASSERT_EQ(r.status, 0) << r.err;

        r = Epk({"list", pack, "--password-file", dir / "pw"});
        ASSERT_EQ(r.status, 0) << r.err;
        // Files of a folder before its sub-folders, each in name order.
        std::istringstream lines(r.out);
        std::vector<std::string> paths;
        for (std::string line; std::getline(lines, line);) paths.push_back(line.substr(0, line.find('\t')));
        EXPECT_EQ(paths, (std::vector<std::string>{"z.bin", "说明.txt", "a/empty", "a/runs.map", "a/b/c/deep.txt"}))
            << r.out;

        EXPECT_EQ(Epk({"test", pack, "--password-file", dir / "pw"}).status, 0);
        const std::string out = std::string("out-") + scheme;
        r = Epk({"extract", pack, dir / out, "--password-file", dir / "pw"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Tree(dir, out), Tree(dir, "src"));
        EXPECT_EQ(dir.List(out + "/空文件夹"), std::vector<std::string>{});
    }
}

TEST_F(EpkTree, ListShowsSizesAndTheSchemeActuallyStored)
{
    const std::string pack = dir / "p.epk";
    ASSERT_EQ(Epk({"create", pack, dir / "src", "--scheme", "lz"}).status, 0);
    const EpkRun r = Epk({"list", pack});
    EXPECT_NE(r.out.find("z.bin\t3000\t3000\t不编码\n"), std::string::npos) << r.out;  // random data: stored
    EXPECT_NE(r.out.find("a/empty\t0\t0\t不编码\n"), std::string::npos);
    EXPECT_NE(r.out.find("a/runs.map\t10000\t"), std::string::npos);
    EXPECT_NE(r.out.find("\tZIV\n"), std::string::npos);

    const EpkRun info = Epk({"info", pack});
    EXPECT_EQ(info.status, 0);
    EXPECT_NE(info.out.find("密码保护：否\n文件夹数：4\n文件数：5\n扩展编码插件数：0\n"), std::string::npos) << info.out;
}

TEST_F(EpkTree, ReproducesTheSmallestPacksByteForByte)
{
    dir.Write("one/a/x.txt", std::string("abc"));
    dir.MakeDir("none");
    ASSERT_EQ(Epk({"create", dir / "one.epk", dir / "one"}).status, 0);
    ASSERT_EQ(Epk({"create", dir / "none.epk", dir / "none"}).status, 0);
    EXPECT_EQ(ReadFileBytes(dir / "one.epk").size(), 46u);
    EXPECT_EQ(ReadFileBytes(dir / "none.epk"),
              (std::vector<uint8_t>{'Z', 'V', 'P', 'K', 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(EpkTree, WrongOrMissingPasswordFails)
{
    const std::string pack = dir / "p.epk";
    ASSERT_EQ(Epk({"create", pack, dir / "src", "--password-file", dir / "pw"}).status, 0);
    dir.Write("wrong", std::string("口令 \n"));
    for (const auto& args : {std::vector<std::string>{"list", pack, "--password-file", dir / "wrong"},
                             std::vector<std::string>{"list", pack}}) {
        const EpkRun r = Epk(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "epk: 您输入的密码错误！无法打开该文档\n");
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(EpkTree, DamagedPacksFailWithAMessage)
{
    const std::string pack = dir / "p.epk";
    ASSERT_EQ(Epk({"create", pack, dir / "src", "--scheme", "lz"}).status, 0);
    auto bytes = ReadFileBytes(pack);
    const std::string cut = dir.Write("cut.epk", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 40));
    EpkRun r = Epk({"list", cut});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "epk: 该文档的格式无效或者已经损坏！无法打开该文档\n");

    r = Epk({"info", dir / "pw"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("错误的文件或损坏的文件！"), std::string::npos);

    // Damaged data: the tables are fine, one file's LZ stream is not.
    test::PackDoc doc;
    ASSERT_TRUE(doc.Open(pack));
    const PackRecord& deep = doc.catalogue.Records().back();
    ASSERT_EQ(deep.name, "deep.txt");
    for (uint32_t i = 0; i < deep.storedSize / 2; ++i) bytes[deep.dataOffset + i] = 0xFF;
    const std::string bad = dir.Write("bad.epk", bytes);
    r = Epk({"test", bad});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\t失败\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("其中 1 个失败"), std::string::npos) << r.out;
}

TEST(EpkDamaged, AFileWhoseFolderIsGoneIsListedExtractedNamedByTestAndKeptBySaving)
{
    TempDir dir;
    const test::PackLayout layout{{}, {{"a", 1, 1}}, {{"x.txt", 1, "abc"}, {"lost.txt", 7, "lost"}}};
    const std::string pack = dir.Write("d.epk", layout.Bytes());
    const std::string warning = "epk: " + Printf(msg::kOrphanEntries, size_t{1}, "<无主文件>") + "\n";

    EpkRun r = Epk({"list", pack});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, warning);
    EXPECT_NE(r.out.find("<无主文件>/lost.txt\t4\t4\t不编码\n"), std::string::npos) << r.out;

    r = Epk({"test", pack});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "<无主文件>/lost.txt\t原来所在的文件夹不存在\n"
              "测试了 2 个文件，全部能够解码，但文件包的目录已经损坏。\n");

    r = Epk({"extract", pack, dir / "out"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Tree(dir, "out"), (std::map<std::string, std::vector<uint8_t>>{
                                    {"a/x.txt", {'a', 'b', 'c'}}, {"<无主文件>/lost.txt", {'l', 'o', 's', 't'}}}));

    // Any edit saves the mended tree: the file stays where it was shown.
    ASSERT_EQ(Epk({"mkdir", pack, "new"}).status, 0);
    r = Epk({"test", pack});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(Epk({"list", pack}).out.find("<无主文件>/lost.txt\t4\t"), std::string::npos);
}

// A usage error is one line and a pointer to the usage, exit status 2;
// -h and --help after any command show that command's usage.
TEST_F(EpkTree, UsageErrorsSayOneLineAndWhereTheUsageIs)
{
    const std::string pointAll = "epk: 用“epk --help”查看用法。\n";
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{}, "epk: 没有给出命令。\n" + pointAll},
        {{"frobnicate"}, "epk: 未知的命令“frobnicate”。\n" + pointAll},
        {{"--frobnicate"}, "epk: 未知的选项“--frobnicate”。\n" + pointAll},
        {{"help", "frobnicate"}, "epk: 未知的命令“frobnicate”。\n" + pointAll},
        {{"list"}, "epk: list 的参数个数不对。\nepk: 用“epk list --help”查看用法。\n"},
        {{"info", "a", "b"}, "epk: info 的参数个数不对。\nepk: 用“epk info --help”查看用法。\n"},
        {{"list", "a", "--bogus"}, "epk: 未知的选项“--bogus”。\nepk: 用“epk list --help”查看用法。\n"},
        {{"list", "a", "--password-file"}, "epk: 选项“--password-file”缺少参数值。\nepk: 用“epk list --help”查看用法。\n"},
        {{"rm", "-", "x"}, "epk: rm 不能用“-”（标准输入或输出）作文件包；名字是“-”的文件请写作 ./-。\n"
                           "epk: 用“epk rm --help”查看用法。\n"},
        {{"extract", "a", "--keep-old-files", "--skip-old-files"},
         "epk: --keep-old-files 和 --skip-old-files 只能给出一个。\nepk: 用“epk extract --help”查看用法。\n"},
        {{"create", dir / "p.epk", dir / "src", "--scheme", "zip"},
         "epk: 未知的编码方案“zip”（可用：none、rle、lz，或 plugins 文件夹里的扩展编码插件“模块.edl”）\n"},
    };
    for (const auto& c : cases) {
        const EpkRun r = Epk(c.args);
        EXPECT_EQ(r.status, 2) << testing::PrintToString(c.args);
        EXPECT_EQ(r.err, c.err) << testing::PrintToString(c.args);
        EXPECT_EQ(r.out, "");
    }
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"extract", "-h"}, {"extract", "x", "--help"}, {"help", "extract"}, {"extract", "--bogus", "-h"}}) {
        const EpkRun r = Epk(args);
        EXPECT_EQ(r.status, 0) << testing::PrintToString(args);
        EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
                  "用法：epk extract 文件包 [目标文件夹 [包内路径...]] [--keep-old-files | --skip-old-files]")
            << testing::PrintToString(args);
    }
    // After "--" a word is an argument, not a request for help.
    EXPECT_EQ(Epk({"list", "--", "-h"}).status, 1);
    for (const char* help : {"--help", "-h", "help"}) {
        const EpkRun r = Epk({help});
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find("  epk create"), std::string::npos);
    }
}

TEST_F(EpkTree, CreateRefusesNamesThePackCannotHoldAndKeepsTheOldPack)
{
    const std::string pack = dir.Write("p.epk", std::string("previous"));
    dir.Write("src/emoji\xF0\x9F\x98\x80.txt", std::string("x"));
    const EpkRun r = Epk({"create", pack, dir / "src"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("GBK"), std::string::npos) << r.err;
    EXPECT_EQ(ReadText(pack), "previous");
}

TEST_F(EpkTree, CreateLeavesThePackOutOfItsOwnFolder)
{
    const std::string pack = dir / "src/self.epk";
    ASSERT_EQ(Epk({"create", pack, dir / "src"}).status, 0);
    ASSERT_EQ(Epk({"create", pack, dir / "src"}).status, 0);
    EXPECT_EQ(Epk({"list", pack}).out.find("self.epk"), std::string::npos);
}

TEST(EpkExtract, NeverWritesOutsideTheDestination)
{
    TempDir dir;
    test::PackDoc doc;
    doc.AddFile(dir, "good.txt", {'g'});
    for (const std::string& name : {std::string(".."), std::string("."), std::string("a/b"), std::string("..\\up"),
                                     std::string("nul\0name", 8), std::string("back\\slash"), std::string()}) {
        doc.AddFile(dir, "placeholder", {'x'});
        doc.catalogue.Entries().back().name = name;
    }
    doc.catalogue.InsertFolder("..", -1, doc.catalogue.Root());
    doc.AddFile(dir, "inside", {'i'});
    doc.catalogue.Entries().back().folderId = doc.catalogue.Root().children.back()->id;
    ASSERT_TRUE(doc.Save(dir / "hostile.epk"));

    const EpkRun r = Epk({"extract", dir / "hostile.epk", dir / "dest/x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Tree(dir, "dest"), (std::map<std::string, std::vector<uint8_t>>{{"x/good.txt", {'g'}}}));
    EXPECT_NE(r.err.find("不能安全地写到磁盘上"), std::string::npos) << r.err;
}

TEST(EpkExtract, ANameTooLongForTheDiskIsReportedAndTheRestExtracted)
{
    // 127 Chinese characters: 254 bytes in the pack, 381 bytes as UTF-8.
    std::string longName;
    for (int i = 0; i < 127; ++i) longName += "\xD6\xD0";
    TempDir dir;
    test::PackDoc doc;
    doc.AddFile(dir, "a.txt", {'a'});
    doc.AddFile(dir, "b.txt", {'b'});
    doc.catalogue.Entries()[0].name = longName;
    ASSERT_TRUE(doc.Save(dir / "p.epk"));
    const EpkRun r = Epk({"extract", dir / "p.epk", dir / "dest"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("太长"), std::string::npos) << r.err;
    EXPECT_EQ(dir.List("dest"), std::vector<std::string>{"b.txt"});
}

TEST(EpkExtract, RefusesALinkInPlaceOfAFolder)
{
    TempDir dir;
    test::PackDoc doc;
    doc.AddFile(dir, "sub\\f.txt", {'f'});
    ASSERT_TRUE(doc.Save(dir / "p.epk"));
    dir.MakeDir("elsewhere");
    dir.MakeDir("dest");
    ASSERT_EQ(::symlink((dir / "elsewhere").c_str(), (dir / "dest/sub").c_str()), 0);
    const EpkRun r = Epk({"extract", dir / "p.epk", dir / "dest"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(dir.List("elsewhere"), std::vector<std::string>{});
}

// The system's reasons reach the user in Chinese, never in the system's
// English.
TEST(EpkMessages, SystemErrorsAreToldInChinese)
{
    TempDir dir;
    dir.Write("src/a.txt", std::string("a"));
    const std::string pack = dir / "p.epk";
    ASSERT_EQ(Epk({"create", pack, dir / "src"}).status, 0);
    const std::string plain = dir.Write("plain", std::string("not a folder"));
    const struct {
        std::vector<std::string> args;
        int errnum;
        const char* english;
    } cases[] = {
        {{"extract", pack, plain + "/out"}, ENOTDIR, "Not a directory"},
        {{"add", pack, dir / "missing.txt"}, ENOENT, "No such file"},
        {{"list", pack, "--password-file", dir / "missing.txt"}, ENOENT, "No such file"},
    };
    for (const auto& c : cases) {
        const EpkRun r = Epk(c.args);
        EXPECT_EQ(r.status, 1) << c.args[0];
        EXPECT_NE(r.err.find(SystemErrorText(c.errnum)), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find(c.english), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace tarvex
