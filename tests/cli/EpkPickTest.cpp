// epk in build pipelines: extracting and printing chosen files, leaving
// items out of create and add, and paths handed over in list files.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <set>

#include "tests/cli/EpkRunner.h"
#include "tests/support/PackFixture.h"

namespace tarvex {
namespace {

using test::ReadFileBytes;
using test::TempDir;

std::string Text(const std::vector<uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// A protected pack of: readme.txt, 配置/game.ini, 配置/子/深.txt, 图片/a.png, 空/ (coded where LZ shrinks).
class EpkPick : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.Write("src/readme.txt", test::TextLikeBytes(5000, 1));
        dir.Write("src/配置/game.ini", std::string("[视频]\nwidth=1024\n"));
        dir.Write("src/配置/子/深.txt", test::TextLikeBytes(300, 2));
        dir.Write("src/图片/a.png", test::RandomBytes(700, 3));
        dir.MakeDir("src/空");
        dir.Write("pw", std::string("口令"));
        ASSERT_EQ(Epk({"create", pack, dir / "src", "--scheme", "lz", "--password-file", dir / "pw"}).status, 0);
    }

    EpkRun Run(const std::string& command, std::vector<std::string> args)
    {
        args.insert(args.begin(), {command, pack});
        args.insert(args.end(), {"--password-file", dir / "pw"});
        return Epk(args);
    }

    std::vector<uint8_t> Source(const std::string& path) { return ReadFileBytes(dir / ("src/" + path)); }

    TempDir dir;
    std::string pack = dir / "p.epk";
};

TEST_F(EpkPick, ExtractWritesOnlyTheNamedFilesAndFoldersWithTheirFolders)
{
    dir.Write("list", std::string("\xEF\xBB\xBFreadme.txt\r\n\n  \n图片/a.png\n"));
    const struct {
        std::vector<std::string> paths;
        std::set<std::string> written;
        int status;
        std::string err;
    } cases[] = {
        {{"配置/game.ini"}, {"配置/", "配置/game.ini"}, 0, ""},
        {{"配置\\子\\深.txt"}, {"配置/", "配置/子/", "配置/子/深.txt"}, 0, ""},
        {{"配置"}, {"配置/", "配置/game.ini", "配置/子/", "配置/子/深.txt"}, 0, ""},
        // Named twice, or inside a named folder: written once, no complaint.
        {{"配置/子/深.txt", "配置/", "配置/子"}, {"配置/", "配置/game.ini", "配置/子/", "配置/子/深.txt"}, 0, ""},
        {{"空"}, {"空/"}, 0, ""},
        {{"/"}, {"readme.txt", "配置/", "配置/game.ini", "配置/子/", "配置/子/深.txt", "图片/", "图片/a.png", "空/"}, 0, ""},
        {{"nothing.txt", "图片/a.png", "配置/无"}, {"图片/", "图片/a.png"}, 1, "epk: 文件包中没有“nothing.txt”。\nepk: 文件包中没有“配置/无”。\n"},
        // Names compare exactly, as the pack's own lookups do.
        {{"README.TXT", "readme.txt"}, {"readme.txt"}, 1, "epk: 文件包中没有“README.TXT”。\n"},
        {{"@" + dir / "list"}, {"readme.txt", "图片/", "图片/a.png"}, 0, ""},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string out = "out" + std::to_string(n++);
        std::vector<std::string> args{dir / out};
        args.insert(args.end(), c.paths.begin(), c.paths.end());
        const EpkRun r = Run("extract", args);
        EXPECT_EQ(r.status, c.status) << c.paths.front() << r.err;
        EXPECT_EQ(r.err, c.err) << c.paths.front();
        EXPECT_EQ(r.out, "") << c.paths.front();
        EXPECT_EQ(PathsBelow(dir, out, true), c.written) << c.paths.front();
        for (const std::string& path : c.written) {
            if (path.back() == '/') continue;
            EXPECT_EQ(ReadFileBytes(dir / (out + "/" + path)), Source(path)) << path;
        }
    }
}

TEST_F(EpkPick, CatPrintsTheDecodedBytesInTheOrderGivenAndNothingElse)
{
    std::vector<uint8_t> every(512);
    for (size_t i = 0; i < every.size(); ++i) every[i] = static_cast<uint8_t>(i);
    // Larger than a piece, stored as it is: printed in pieces, each unscrambled at its offset.
    const std::vector<uint8_t> big = test::RandomBytes((3 << 20) + 5, 4);
    const std::vector<uint8_t> runs(4000, 'r');
    dir.Write("more/bytes.bin", every);
    dir.Write("more/big.bin", big);
    dir.Write("more/runs.bin", runs);
    ASSERT_EQ(Run("add", {dir / "more", "-r"}).status, 0);
    ASSERT_EQ(Run("scheme", {"more/runs.bin", "rle"}).status, 0);
    const std::string listing = Run("list", {}).out;
    const auto schemeOf = [&](const std::string& path) -> std::string {
        const size_t line = listing.find(path + "\t");
        if (line == std::string::npos) return "";
        const size_t end = listing.find('\n', line);
        const size_t tab = listing.rfind('\t', end);
        return listing.substr(tab + 1, end - tab - 1);
    };
    ASSERT_EQ(schemeOf("readme.txt"), "ZIV");
    ASSERT_EQ(schemeOf("more/runs.bin"), "RLE");

    const std::string ini = Text(Source("配置/game.ini"));
    const std::string readme = Text(Source("readme.txt"));
    const struct {
        std::vector<std::string> paths;
        std::string out;
        int status;
        std::string err;
    } cases[] = {
        {{"配置/game.ini", "more/bytes.bin", "readme.txt", "配置/game.ini"}, ini + Text(every) + readme + ini, 0, ""},
        {{"more\\runs.bin", "more/big.bin"}, Text(runs) + Text(big), 0, ""},
        {{"missing", "more/bytes.bin", "配置", "README.TXT", "配置/game.ini"},
         Text(every) + ini,
         1,
         "epk: 文件包中没有“missing”。\nepk: “配置”是文件夹，不是文件。\nepk: 文件包中没有“README.TXT”。\n"},
    };
    for (const auto& c : cases) {
        const EpkRun r = Run("cat", c.paths);
        EXPECT_EQ(r.status, c.status) << c.paths.front();
        EXPECT_EQ(r.err, c.err) << c.paths.front();
        EXPECT_TRUE(r.out == c.out) << c.paths.front() << ": " << r.out.size() << " bytes, not " << c.out.size();
    }

    // A reader that stops early ends epk without a word: by SIGPIPE, or, when
    // that is ignored, by the failed write (exit status 1).
    for (const std::string& ignore : {std::string(), std::string("trap '' PIPE; ")}) {
        const std::string command = ignore + "(" + Quote(EPK_PATH) + " cat " + Quote(pack) + " more/big.bin --password-file " +
                                    Quote(dir / "pw") + " 2>" + Quote(dir / "err") + "; echo $? >" + Quote(dir / "rc") +
                                    ") | head -c 10 >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(ReadText(dir / "err"), "") << ignore;
        EXPECT_EQ(ReadText(dir / "rc"), ignore.empty() ? "141\n" : "1\n");
    }

    EXPECT_EQ(Epk({"cat", pack}).status, 2);
    const EpkRun help = Epk({"cat", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("标准输出"), std::string::npos) << help.out;
}

TEST_F(EpkPick, ExcludeLeavesItemsOutAndListFilesHandOverPaths)
{
    dir.Write("tree/keep.txt", std::string("k"));
    dir.Write("tree/x.tmp", std::string("t"));
    dir.Write("tree/sub/.git/config", std::string("g"));
    dir.Write("tree/sub/.git/emoji\xF0\x9F\x98\x80", std::string("a name GBK cannot hold, never read"));
    dir.Write("tree/sub/y.txt", std::string("y"));
    dir.Write("tree/cache/c.txt", std::string("c"));
    dir.Write("tree/deep/cache/d.txt", std::string("d"));
    const std::string made = dir / "made.epk";
    // A pattern without '/' meets a name at any depth.
    EpkRun r = Epk({"create", made, dir / "tree", "--exclude", "*.tmp", "--exclude", ".git", "--exclude=cache"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Epk({"list", made}).out, "keep.txt\t1\t1\t不编码\nsub/y.txt\t1\t1\t不编码\n");
    // A pattern with a '/' is matched against the whole path only.
    ASSERT_EQ(Epk({"create", made, dir / "tree", "--exclude", "*/.git", "--exclude", "deep/*"}).status, 0);
    EXPECT_EQ(Epk({"list", made}).out,
              "keep.txt\t1\t1\t不编码\nx.tmp\t1\t1\t不编码\ncache/c.txt\t1\t1\t不编码\nsub/y.txt\t1\t1\t不编码\n");

    // add: the patterns see the paths the items get inside the pack.
    dir.Write("sources", std::string(dir / "tree/keep.txt") + "\n" + dir / "tree/x.tmp" + "\n\n" + dir / "tree/sub\n");
    r = Run("add", {"@" + dir / "sources", "-r", "--to", "新", "--exclude", "新/*.tmp", "--exclude", "新/sub/.git"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "新建文件夹 新\n加入 新/keep.txt\n加入 新/sub/y.txt\n");

    dir.Write("doomed", std::string("新/keep.txt\n配置\n"));
    r = Run("rm", {"@" + dir / "doomed", "readme.txt"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "删除 新/keep.txt\n删除文件夹 配置（连同其中的 2 个文件）\n删除 readme.txt\n");

    const auto before = ReadFileBytes(pack);
    r = Run("rm", {"图片", "@" + dir / "no-such-list"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("无法读取列表文件“" + dir / "no-such-list" + "”"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFileBytes(pack), before);
}

TEST_F(EpkPick, ListsAndPasswordsComeThroughPipes)
{
    const std::string epk = Quote(EPK_PATH);
    const std::string p = Quote(pack);
    const std::string pw = " --password-file " + Quote(dir / "pw");
    const std::string fifo = Quote(dir / "fifo");
    const struct {
        std::string command;
        std::string out;
    } cases[] = {
        // A shell pipeline: the list, then the password, on standard input.
        {"printf 'readme.txt\\n' | " + epk + " rm " + p + " @/dev/stdin" + pw, "删除 readme.txt\n"},
        {"printf '口令\\n' | " + epk + " cat " + p + " 配置/game.ini --password-file /dev/stdin", "[视频]\nwidth=1024\n"},
        // Process substitutions, both at once.
        {"bash -c " + Quote(epk + " rm " + p + " @<(printf '图片/a.png\\n') --password-file <(printf 口令)"),
         "删除 图片/a.png\n"},
        // A named pipe whose writer waits for epk (and gives up should epk never come).
        {"mkfifo " + fifo + " && { timeout 60 sh -c " + Quote("printf '配置/子\\n' >" + fifo) + " & } && " + epk + " rm " +
             p + " @" + fifo + pw,
         "删除文件夹 配置/子（连同其中的 1 个文件）\n"},
        // One password file read once for the two packs of diff.
        {"printf 口令 | " + epk + " diff " + p + " " + p + " --password-file /dev/stdin", ""},
    };
    for (const auto& c : cases) {
        const EpkRun r = RunCaptured("{ " + c.command + "; }");
        EXPECT_EQ(r.status, 0) << c.command << ": " << r.err;
        EXPECT_EQ(r.out, c.out) << c.command;
    }

    // A folder, a socket or another device is refused, never waited on.
    dir.MakeDir("folder");
    const std::string socketPath = dir / "socket";
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const auto before = ReadFileBytes(pack);
    for (const auto& [list, why] : {std::pair<std::string, std::string>{dir / "folder", "是一个文件夹"},
                                    {socketPath, "是一个套接字，不是普通文件"},
                                    {"/dev/zero", "是一个设备，不是普通文件"}}) {
        const EpkRun r = Run("rm", {"@" + list});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "epk: 无法读取列表文件“" + list + "”：" + why + "\n");
    }
    ::close(listening);
    EXPECT_EQ(ReadFileBytes(pack), before);
}

}  // namespace
}  // namespace tarvex
