// epk's editing commands end to end: what they change, what they refuse, and
// that a refused or dry-run edit leaves the pack byte for byte as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "schemes/Extraction.h"
#include "tests/cli/EpkRunner.h"
#include "tests/support/PackFixture.h"

namespace tarvex {
namespace {

using test::ReadFileBytes;
using test::TempDir;

// Runs epk on a terminal of its own (its controlling terminal and its
// standard input), typing each answer once the next question has shown;
// standard output and error go to files. A question that does not come
// within a minute ends epk, so that the test fails instead of hanging.
EpkRun EpkOnTerminal(const std::vector<std::string>& args, const std::vector<std::string>& answers)
{
    const TempDir io;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return {-1, "", "no terminal"};
    const std::string terminal = ::ptsname(master);
    std::vector<std::string> words = {EPK_PATH};
    words.insert(words.end(), args.begin(), args.end());
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        const int tty = ::open(terminal.c_str(), O_RDWR);  // becomes the controlling terminal
        const int out = ::open((io / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open((io / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(tty, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    // Every question ends with a full-width colon, and nothing else shown
    // on the terminal has one.
    const std::string colon = "\xEF\xBC\x9A";
    std::string shown;
    const auto questions = [&] {
        size_t count = 0;
        for (size_t at = shown.find(colon); at != std::string::npos; at = shown.find(colon, at + 1)) ++count;
        return count;
    };
    const auto readMore = [&] {
        pollfd ready{master, POLLIN, 0};
        char piece[256];
        const ssize_t n = ::poll(&ready, 1, 60000) == 1 ? ::read(master, piece, sizeof piece) : -1;
        if (n > 0) shown.append(piece, static_cast<size_t>(n));
        return n > 0;
    };
    bool answered = true;
    for (size_t i = 0; i < answers.size() && answered; ++i) {
        while (questions() <= i && (answered = readMore())) {
        }
        const std::string line = answers[i] + "\n";
        if (answered) answered = ::write(master, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    }
    while (answered && readMore()) {  // until epk has closed the terminal
    }
    if (!answered) ::kill(pid, SIGKILL);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    ::close(master);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(io / "out"), ReadText(io / "err")};
}

// A pack of: readme.txt, data/a.txt, data/empty, data/sub/b.bin; protected by a password.
class EpkEdit : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.Write("src/readme.txt", test::TextLikeBytes(2000, 1));
        dir.Write("src/data/a.txt", test::TextLikeBytes(3000, 2));
        dir.Write("src/data/empty", std::string());
        dir.Write("src/data/sub/b.bin", test::RandomBytes(500, 3));
        dir.Write("pw", std::string("secret\n"));
        dir.Write("new/x.txt", std::string("x"));
        dir.Write("new/y.txt", std::string("yy"));
        dir.Write("new/tree/t1.txt", std::string("t1"));
        dir.Write("new/tree/deeper/t2.txt", std::string("t2"));
        ASSERT_EQ(Epk({"create", pack, dir / "src", "--scheme", "lz", "--password-file", dir / "pw"}).status, 0);
    }

    EpkRun Edit(std::vector<std::string> args)
    {
        args.insert(args.begin() + 1, pack);
        args.push_back("--password-file");
        args.push_back(dir / "pw");
        return Epk(args);
    }

    // Path -> "size scheme" of every file, from `epk list`.
    std::map<std::string, std::string> Listing()
    {
        const EpkRun r = Epk({"list", pack, "--password-file", dir / "pw"});
        std::map<std::string, std::string> files;
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);) {
            const size_t tab = line.find('\t');
            const size_t stored = line.find('\t', tab + 1);
            const size_t scheme = line.find('\t', stored + 1);
            files[line.substr(0, tab)] = line.substr(tab + 1, stored - tab - 1) + " " + line.substr(scheme + 1);
        }
        return files;
    }

    // The unscrambled stored bytes of a file of the pack.
    std::vector<uint8_t> Stored(const std::string& name)
    {
        test::PackDoc doc;
        if (!doc.Open(pack, "secret")) return {};
        PackExtractor extractor(doc.archive, doc.prompt);
        ByteBuffer raw;
        for (size_t i = 0; i < doc.catalogue.Entries().size(); ++i)
            if (doc.catalogue.Entries()[i].name == name && extractor.Open() && extractor.ReadRaw(i, raw))
                return {raw.data(), raw.data() + raw.size()};
        return {};
    }

    void ExpectUnchangedAfter(const std::vector<std::string>& args, const std::string& message)
    {
        const auto before = ReadFileBytes(pack);
        const EpkRun r = Edit(args);
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_NE(r.err.find(message), std::string::npos) << args[0] << ": " << r.err;
        EXPECT_EQ(ReadFileBytes(pack), before) << args[0];
    }

    TempDir dir;
    std::string pack = dir / "p.epk";
};

TEST_F(EpkEdit, AddPutsFilesAndTreesIntoAFolderMadeOnDemand)
{
    const auto storedBefore = Stored("a.txt");
    EpkRun r = Edit({"add", dir / "new/x.txt", dir / "new/y.txt", "--to", "data/新的", "--scheme", "rle"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "新建文件夹 data/新的\n加入 data/新的/x.txt\n加入 data/新的/y.txt\n");
    r = Edit({"add", dir / "new/tree", "-r"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto files = Listing();
    EXPECT_EQ(files.at("data/新的/x.txt"), "1 不编码");  // RLE cannot shrink one byte: stored as it is
    EXPECT_EQ(files.at("tree/t1.txt"), "2 不编码");
    EXPECT_EQ(files.at("tree/deeper/t2.txt"), "2 不编码");
    EXPECT_EQ(files.size(), 8u);
    // The files already in the pack keep their stored bytes, and the password.
    EXPECT_EQ(Stored("a.txt"), storedBefore);
}

TEST_F(EpkEdit, AddRefusesWhatTheEditorRefuses)
{
    EpkRun r = Edit({"add", dir / "src/readme.txt", dir / "new/x.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "epk: 该文件夹下已经有一个 readme.txt 存在！\n");
    EXPECT_EQ(r.out, "加入 x.txt\n");  // the other file still goes in
    ExpectUnchangedAfter({"add", dir / "new/tree"}, "-r");
    ExpectUnchangedAfter({"add", dir / "new/x.txt", "--to", "bad\xF0\x9F\x98\x80"}, "GBK");
    ExpectUnchangedAfter({"add", dir / "missing.txt"}, "missing.txt");
}

TEST_F(EpkEdit, DryRunShowsTheChangeAndWritesNothing)
{
    const auto before = ReadFileBytes(pack);
    for (const auto& args : std::vector<std::vector<std::string>>{{"add", dir / "new/x.txt", "--dry-run"},
                                                                   {"mkdir", "m", "--dry-run"},
                                                                   {"rm", "data", "--dry-run"},
                                                                   {"mv", "readme.txt", "data", "--dry-run"},
                                                                   {"rename", "data", "d2", "--dry-run"},
                                                                   {"scheme", "data", "none", "--dry-run"},
                                                                   {"passwd", "--no-password", "--dry-run"}}) {
        const EpkRun r = Edit(args);
        EXPECT_EQ(r.status, 0) << args[0] << r.err;
        EXPECT_NE(r.out.find("试运行"), std::string::npos) << args[0];
        EXPECT_GT(r.out.size(), std::string("试运行：没有写入任何文件。\n").size()) << args[0];
    }
    EXPECT_EQ(ReadFileBytes(pack), before);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"new", "p.epk", "pw", "src"}));
}

TEST_F(EpkEdit, MkdirAndRm)
{
    EXPECT_EQ(Edit({"mkdir", "x/y/z"}).out, "新建文件夹 x/y/z\n");
    const auto before = ReadFileBytes(pack);
    EXPECT_EQ(Edit({"mkdir", "x\\y"}).status, 0);  // already there: nothing written
    EXPECT_EQ(ReadFileBytes(pack), before);

    EpkRun r = Edit({"rm", "data", "readme.txt"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "删除文件夹 data（连同其中的 3 个文件）\n删除 readme.txt\n");
    EXPECT_TRUE(Listing().empty());
    ExpectUnchangedAfter({"rm", "nothing/here"}, "文件包中没有“nothing/here”。");
    ExpectUnchangedAfter({"rm", "/"}, "注意：不允许删除根节点！");
}

TEST_F(EpkEdit, RmTellsAFolderFromAFileOfTheSameName)
{
    ASSERT_EQ(Edit({"mkdir", "twin"}).status, 0);
    ASSERT_EQ(Edit({"add", dir / "new/x.txt", "--to", "data"}).status, 0);
    ASSERT_EQ(Edit({"rename", "data/x.txt", "twin"}).status, 0);
    ASSERT_EQ(Edit({"mv", "data/twin", "/"}).status, 0);
    ExpectUnchangedAfter({"rm", "twin"}, "既是文件夹又是文件");
    EXPECT_EQ(Edit({"rm", "twin/"}).out, "删除文件夹 twin（连同其中的 0 个文件）\n");
    EXPECT_EQ(Edit({"rm", "twin"}).out, "删除 twin\n");
}

TEST_F(EpkEdit, MoveAndCopyFollowTheEditorsRules)
{
    EpkRun r = Edit({"mv", "data/sub", ""});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "移动 data/sub → sub\n");
    r = Edit({"cp", "data", "sub"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto files = Listing();
    EXPECT_EQ(files.count("sub/b.bin"), 1u);
    EXPECT_EQ(files.count("sub/data/a.txt"), 1u);
    EXPECT_EQ(files.count("sub/data/empty"), 1u);

    ExpectUnchangedAfter({"mv", "sub", "sub/data"}, "无法移动文件夹！目标文件夹是源文件夹的子文件夹。");
    ExpectUnchangedAfter({"cp", "sub", "sub"}, "无法复制文件夹！目标文件夹是源文件夹的子文件夹。");
    ExpectUnchangedAfter({"mv", "sub/data", "/"}, "无法移动文件夹！该文件夹下已经有一个文件夹 <data> 存在！");
    ExpectUnchangedAfter({"cp", "readme.txt", "/"}, "该文件夹下已经有一个 readme.txt 存在！");
    ExpectUnchangedAfter({"mv", "readme.txt", "nowhere/x"}, "文件包中没有文件夹“nowhere”。");
    const auto before = ReadFileBytes(pack);
    EXPECT_EQ(Edit({"mv", "readme.txt", "/"}).status, 0);  // already there: nothing to do
    EXPECT_EQ(ReadFileBytes(pack), before);
}

TEST_F(EpkEdit, RenameFilesIgnoringCaseAndFoldersExactly)
{
    ASSERT_EQ(Edit({"add", dir / "new/x.txt", "--to", "data"}).status, 0);
    ExpectUnchangedAfter({"rename", "data/x.txt", "A.TXT"}, "该名字已被使用，请重新命名！");
    ExpectUnchangedAfter({"rename", "/", "root"}, "注意：不允许更改根的名字！");
    ExpectUnchangedAfter({"rename", "data/x.txt", "a/b"}, "不能含有");
    ExpectUnchangedAfter({"rename", "data/x.txt", "   "}, "空白");
    ASSERT_EQ(Edit({"mkdir", "Data"}).status, 0);  // folders compare exactly: Data beside data
    ExpectUnchangedAfter({"rename", "Data", "data"}, "该名字已被使用，请重新命名！");
    EXPECT_EQ(Edit({"rename", "data/x.txt", "z.txt"}).out, "改名 data/x.txt → z.txt\n");
    EXPECT_EQ(Listing().count("data/z.txt"), 1u);
}

TEST_F(EpkEdit, SchemeAppliesToFilesAndFoldersButNotEmptyFiles)
{
    const EpkRun r = Edit({"scheme", "data", "readme.txt", "rle"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "epk: 0字节的文件不能使用任何编码方案！\n");
    const auto files = Listing();
    EXPECT_EQ(files.at("data/empty"), "0 不编码");
    EXPECT_EQ(files.at("data/sub/b.bin"), "500 不编码");  // random bytes: RLE cannot shrink them
    ExpectUnchangedAfter({"scheme", "readme.txt", "zip"}, "未知的编码方案");
}

TEST_F(EpkEdit, PasswdChangesOrDropsThePassword)
{
    dir.Write("pw2", std::string("another"));
    ASSERT_EQ(Edit({"passwd", "--new-password-file", dir / "pw2"}).status, 0);
    EXPECT_EQ(Epk({"list", pack, "--password-file", dir / "pw"}).status, 1);
    EXPECT_EQ(Epk({"list", pack, "--password-file", dir / "pw2"}).status, 0);
    ASSERT_EQ(Epk({"passwd", pack, "--password-file", dir / "pw2", "--no-password"}).status, 0);
    EXPECT_NE(Epk({"info", pack}).out.find("密码保护：否"), std::string::npos);
    EXPECT_EQ(Epk({"list", pack}).status, 0);
    EXPECT_EQ(Epk({"passwd", pack}).status, 2);
}

TEST_F(EpkEdit, PasswordFilesThatAreEmptyOrDevices)
{
    // An empty new password is a mistake, not a wish to drop the password.
    dir.Write("empty", std::string());
    dir.Write("blank", std::string("\n"));
    dir.MakeDir("folder");
    const struct {
        std::vector<std::string> args;
        std::string said;
    } refused[] = {
        {{"passwd", "--new-password-file", dir / "empty"}, "--no-password"},
        {{"passwd", "--new-password-file", dir / "blank"}, "--no-password"},
        {{"passwd", "--new-password-file", "/dev/null"}, "--no-password"},
        {{"passwd", "--new-password-file", "/dev/zero"}, "无法读取密码文件“/dev/zero”：是一个设备，不是普通文件\n"},
        {{"passwd", "--new-password-file", dir / "folder"}, "是一个文件夹"},
        {{"list", "--password-file", "/dev/zero"}, "无法读取密码文件“/dev/zero”：是一个设备，不是普通文件\n"},
    };
    for (const auto& c : refused) {
        std::vector<std::string> args = {c.args[0], pack};
        args.insert(args.end(), c.args.begin() + 1, c.args.end());
        if (c.args[0] == "passwd") args.insert(args.end(), {"--password-file", dir / "pw"});
        const auto before = ReadFileBytes(pack);
        const EpkRun r = Epk(args);
        EXPECT_EQ(r.status, 1) << c.args.back();
        EXPECT_NE(r.err.find(c.said), std::string::npos) << c.args.back() << ": " << r.err;
        EXPECT_EQ(ReadFileBytes(pack), before) << c.args.back();
    }
    // /dev/null still stands for no password where one is chosen or given.
    const std::string open = dir / "open.epk";
    ASSERT_EQ(Epk({"create", open, dir / "new", "--password-file", "/dev/null"}).status, 0);
    EXPECT_EQ(Epk({"list", open, "--password-file", "/dev/null"}).status, 0);

    // A terminal is asked on, without echo; a new password twice.
    EpkRun r = EpkOnTerminal({"passwd", pack, "--password-file", dir / "pw", "--new-password-file", "/dev/tty"},
                             {"新口令", "新口令"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "更改密码\n");
    dir.Write("pw2", std::string("新口令"));
    EXPECT_EQ(Epk({"list", pack, "--password-file", dir / "pw2"}).status, 0);
    r = EpkOnTerminal({"list", pack, "--password-file", "/dev/stdin"}, {"新口令"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("readme.txt"), std::string::npos) << r.out;
    const auto before = ReadFileBytes(pack);
    r = EpkOnTerminal({"passwd", pack, "--password-file", dir / "pw2", "--new-password-file", "/dev/tty"},
                      {"一个", "另一个"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "epk: 两次输入的密码不一样。\nepk: 文件包没有改变。\n");
    EXPECT_EQ(ReadFileBytes(pack), before);
}

TEST_F(EpkEdit, DiffComparesTreesAndDecodedBytes)
{
    const std::string copy = dir / "q.epk";
    ASSERT_EQ(Epk({"create", copy, dir / "src", "--scheme", "rle"}).status, 0);
    EpkRun r = Epk({"diff", pack, copy, "--password-file", dir / "pw", "--password-file-b", "/dev/null"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;  // other schemes, same decoded bytes
    EXPECT_EQ(r.out, "");

    dir.Write("src/data/a.txt", std::string("changed"));
    dir.Write("src/only-in-b.txt", std::string("b"));
    ASSERT_EQ(Epk({"create", copy, dir / "src"}).status, 0);
    ASSERT_EQ(Edit({"mkdir", "only-a"}).status, 0);
    r = Epk({"diff", pack, copy, "--password-file", dir / "pw", "--password-file-b", "/dev/null"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "只在 A 中：only-a/\n只在 B 中：only-in-b.txt\n内容不同：data/a.txt\n");
    EXPECT_EQ(Epk({"diff", pack, dir / "missing.epk"}).status, 2);
}

TEST_F(EpkEdit, JsonListingAndInfo)
{
    const EpkRun list = Epk({"list", pack, "--json", "--password-file", dir / "pw"});
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.out.find("{\"path\":\"data/sub/b.bin\",\"name\":\"b.bin\",\"folder_id\":2,\"size\":500,"
                            "\"stored_size\":500,\"scheme\":0,\"scheme_name\":\"不编码\"}"),
              std::string::npos)
        << list.out;
    EXPECT_NE(list.out.find("\"folders\":[{\"path\":\"data\",\"id\":1},{\"path\":\"data/sub\",\"id\":2}]"),
              std::string::npos)
        << list.out;
    const EpkRun info = Epk({"info", pack, "--json", "--password-file", dir / "pw"});
    EXPECT_EQ(info.out, "{\"format\":1,\"pack\":\"" + pack + "\",\"version\":1,\"protected\":true,\"folders\":2,\"files\":4,\"plugins\":[]}\n");
}

TEST_F(EpkEdit, OutputThatCannotBeWrittenFailsTheCommand)
{
    // Standard output on a full disk: short results fail only when they are
    // flushed at the end, long ones (cat, --help) while they are written.
    const std::string other = dir / "q.epk";
    ASSERT_EQ(Epk({"create", other, dir / "new"}).status, 0);
    const std::string pw = dir / "pw";
    const std::vector<std::vector<std::string>> commands = {
        {"list", pack, "--password-file", pw},
        {"list", pack, "--json", "--password-file", pw},
        {"info", other},
        {"info", other, "--json"},
        {"test", pack, "--password-file", pw},
        {"plugins"},
        {"diff", pack, other, "--password-file", pw, "--password-file-b", "/dev/null"},
        {"sync", other, dir / "new", "--json"},
        {"sync", other, dir / "src", "--dry-run"},
        {"rm", pack, "readme.txt", "--dry-run", "--password-file", pw},
        {"cat", pack, "data/sub/b.bin", "--password-file", pw},
        {"--help"},
        {"list", "--help"},
    };
    for (const auto& args : commands) {
        std::string command = Quote(EPK_PATH);
        for (const std::string& arg : args) command += " " + Quote(arg);
        const EpkRun r = RunCaptured("{ " + command + " >/dev/full; }");
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_EQ(r.err, "epk: 无法写到标准输出！\nepk: 磁盘空间不足\n") << args[0];
    }
}

TEST_F(EpkEdit, SyncAddsAndUpdatesAndKeepsTheStoredBytesOfWhatIsTheSame)
{
    const auto readme = Stored("readme.txt");
    dir.Write("src/data/a.txt", test::TextLikeBytes(3000, 9));  // the same size, other bytes
    dir.Write("src/new/n.txt", std::string("n"));
    EpkRun r = Edit({"sync", dir / "src", "--scheme", "none", "--dry-run", "--json"});
    EXPECT_EQ(r.out, "{\"format\":1,\"pack\":\"" + pack + "\",\"changes\":[{\"action\":\"change\",\"type\":\"file\",\"path\":"
                     "\"data/a.txt\"},{\"action\":\"add\",\"type\":\"folder\",\"path\":\"new\"},{\"action\":\"add\","
                     "\"type\":\"file\",\"path\":\"new/n.txt\"}],\"added\":1,\"changed\":1,\"removed\":0,"
                     "\"unchanged\":3,\"folders_added\":1,\"folders_removed\":0,\"created\":false,\"written\":false}\n");
    r = Edit({"sync", dir / "src", "--scheme", "none"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "更新 data/a.txt\n新建文件夹 new\n加入 new/n.txt\n已同步 " + pack +
                         "：加入 1 个文件，更新 1 个，删除 0 个，3 个没有改变；新建 1 个文件夹，删除 0 个文件夹。\n");
    auto files = Listing();
    EXPECT_EQ(files.at("data/a.txt"), "3000 不编码");
    EXPECT_EQ(files.at("readme.txt"), "2000 ZIV");  // the same bytes: not coded again, whatever --scheme says
    EXPECT_EQ(Stored("readme.txt"), readme);
    EXPECT_EQ(Epk({"list", pack}).status, 1);  // the password stays

    // A changed file keeps its own scheme when none is given.
    dir.Write("src/readme.txt", test::TextLikeBytes(2500, 4));
    r = Edit({"sync", dir / "src"});
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "更新 readme.txt");
    EXPECT_EQ(Listing().at("readme.txt"), "2500 ZIV");
    const auto before = ReadFileBytes(pack);
    r = Edit({"sync", dir / "src"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, pack + " 没有需要同步的改变：5 个文件没有改变，没有写入文件包。\n");
    EXPECT_EQ(ReadFileBytes(pack), before);

    // A large file is compared in parts: a byte changed in its last one
    // counts, before the save (a dry run) or while it is written.
    std::vector<uint8_t> big = test::RandomBytes((9 << 20) + 5, 7);
    dir.Write("src/big.bin", big);
    ASSERT_EQ(Edit({"sync", dir / "src"}).status, 0);
    big[big.size() - 2] ^= 1;
    dir.Write("src/big.bin", big);
    r = Edit({"sync", dir / "src", "--dry-run"});
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "更新 big.bin");
    dir.Write("src/more.txt", std::string("m"));
    r = Edit({"sync", dir / "src"});
    EXPECT_EQ(r.out.substr(0, r.out.find("已同步")), "更新 big.bin\n加入 more.txt\n");
    EXPECT_EQ(Stored("big.bin"), big);
}

TEST_F(EpkEdit, SyncRemovesOnlyWithDeleteAndNeverWhatIsExcluded)
{
    // A tree without data/empty and data/sub/.
    dir.Write("tree/readme.txt", ReadFileBytes(dir / "src/readme.txt"));
    dir.Write("tree/data/a.txt", ReadFileBytes(dir / "src/data/a.txt"));
    const auto pristine = ReadFileBytes(pack);
    const std::string removedAll = "删除 data/empty\n删除 data/sub/b.bin\n删除文件夹 data/sub\n";
    const struct {
        std::vector<std::string> options;
        std::string changes;
        size_t filesLeft;
    } cases[] = {
        {{}, "", 4},
        {{"--delete"}, removedAll, 2},
        {{"--delete", "--exclude", "empty"}, "删除 data/sub/b.bin\n删除文件夹 data/sub\n", 3},
        // The folder holds an excluded file: it stays with it.
        {{"--delete", "--exclude", "*.bin"}, "删除 data/empty\n", 3},
        {{"--delete", "--exclude", "data/sub"}, "删除 data/empty\n", 3},
        {{"--delete", "--dry-run"}, removedAll, 4},
    };
    for (const auto& c : cases) {
        dir.Write("p.epk", pristine);
        std::vector<std::string> args{"sync", dir / "tree"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const EpkRun r = Edit(args);
        const std::string shown = testing::PrintToString(c.options);
        EXPECT_EQ(r.status, 0) << shown << r.err;
        EXPECT_EQ(r.out.substr(0, c.changes.size()), c.changes) << shown << r.out;
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), std::count(c.changes.begin(), c.changes.end(), '\n') + 1)
            << shown << r.out;
        EXPECT_EQ(Listing().size(), c.filesLeft) << shown;
        if (c.changes.empty() || c.options.back() == "--dry-run") {
            EXPECT_EQ(ReadFileBytes(pack), pristine) << shown;
        }
    }
}

TEST_F(EpkEdit, SyncCreatesAMissingPackAndRefusesWhatCreateRefuses)
{
    const std::string made = dir / "q.epk";
    EXPECT_EQ(Epk({"sync", made, dir / "src", "--dry-run"}).status, 0);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"new", "p.epk", "pw", "src"}));
    EpkRun r = Epk({"sync", made, dir / "src", "--password-file", dir / "pw"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "加入 readme.txt\n新建文件夹 data\n加入 data/a.txt\n加入 data/empty\n新建文件夹 data/sub\n"
                     "加入 data/sub/b.bin\n已创建 " + made +
                         "：加入 4 个文件，更新 0 个，删除 0 个，0 个没有改变；新建 2 个文件夹，删除 0 个文件夹。\n");
    EXPECT_EQ(Epk({"diff", pack, made, "--password-file", dir / "pw", "--password-file-b", dir / "pw"}).status, 0);
    EXPECT_EQ(Epk({"list", made}).status, 1);

    // A pack inside the tree is not a file of it.
    const std::string inside = dir / "src/inside.epk";
    ASSERT_EQ(Epk({"sync", inside, dir / "src"}).status, 0);
    EXPECT_NE(Epk({"sync", inside, dir / "src"}).out.find("没有需要同步的改变"), std::string::npos);

    dir.Write("src/bad\xF0\x9F\x98\x80.txt", std::string("x"));
    ExpectUnchangedAfter({"sync", dir / "src"}, "GBK");
    EXPECT_EQ(Edit({"sync", dir / "src/readme.txt"}).status, 1);
}

}  // namespace
}  // namespace tarvex
