// epk mount: packs served as folder trees by the kernel's FUSE, looked at
// with the tools a user runs on them. Every look goes through a shell
// command under `timeout`, and every mount is undone in TearDown, so that a
// hung or failing mount can neither hang the run nor outlive it.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/cli/EpkRunner.h"
#include "tests/plugins/ModuleFolder.h"
#include "tests/support/PackFixture.h"
#include "tests/support/PackLayout.h"

namespace tarvex {
namespace {

using test::TempDir;

// A shell command's exit status and what it said, in the C locale, killed
// after a minute.
EpkRun Shell(const std::string& command)
{
    return RunCaptured("LC_ALL=C timeout -s KILL 60 sh -c " + Quote(command));
}

// Whether the kernel lists a FUSE mount of epk at this path (read from the
// mount table, never by touching the mount, which might not answer).
bool IsMounted(const std::string& path)
{
    std::ifstream table("/proc/self/mountinfo");
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string field, mountPoint;
        for (int i = 0; i < 5; ++i) fields >> (i == 4 ? mountPoint : field);
        if (mountPoint == path && line.find(" - fuse.epk ") != std::string::npos) return true;
    }
    return false;
}

template <typename Condition>
bool WaitFor(Condition condition)
{
    for (int i = 0; i < 600; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

class EpkMount : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::access("/dev/fuse", R_OK | W_OK) != 0) GTEST_SKIP() << "no usable /dev/fuse here: nothing can be mounted";
        if (std::system("command -v fusermount3 >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "fusermount3 is not installed (Debian package fuse3)";
        dir.Write("src/中文/資料/说明.txt", std::string("中文说明\n第二行\n"));
        dir.Write("src/中文/runs.map", std::vector<uint8_t>(100000, 7));
        dir.Write("src/a/b/c/deep.txt", test::TextLikeBytes(300000, 3));
        // Read by the kernel in many pieces, each from its own offset.
        dir.Write("src/big.bin", test::RandomBytes(3 << 20, 4));
        dir.Write("src/empty.bin", std::string());
        dir.MakeDir("src/空文件夹");
        dir.Write("pw", std::string("口令\n"));
        dir.MakeDir("mnt");
        mountPoint = dir / "mnt";
    }

    void TearDown() override
    {
        if (IsMounted(mountPoint)) std::system(("fusermount3 -uz " + Quote(mountPoint)).c_str());
        KillEpk();
    }

    void KillEpk()
    {
        if (pid <= 0) return;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        pid = -1;
    }

    // Starts `epk mount ... --foreground` in the background, its standard
    // error going to dir/err; true once the mount is in place.
    bool MountInForeground(const std::vector<std::string>& args)
    {
        std::vector<std::string> words = {program, "mount"};
        words.insert(words.end(), args.begin(), args.end());
        words.push_back("--foreground");
        const std::string errPath = dir / "err";
        KillEpk();  // one that did not end when it should have
        pid = ::fork();
        if (pid == 0) {
            // Should the test itself be killed, epk is told to stop, and
            // unmounts on its way out.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(err, 2);
            std::vector<char*> argv;
            for (std::string& w : words) argv.push_back(w.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        return WaitFor([&] { return IsMounted(mountPoint) || Exited(); }) && IsMounted(mountPoint);
    }

    bool Exited()
    {
        if (pid <= 0) return true;
        if (::waitpid(pid, &status, WNOHANG) != pid) return false;
        pid = -1;
        return true;
    }

    // Waits for the foreground epk to end; its exit status, -1 when it did not.
    int EpkEnded()
    {
        if (!WaitFor([&] { return Exited(); })) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    int Unmount() { return Shell("fusermount3 -u " + Quote(mountPoint)).status; }

    TempDir dir;
    std::string program = EPK_PATH;  // the epk that mounts
    std::string mountPoint;
    pid_t pid = -1;
    int status = 0;
};

TEST_F(EpkMount, ShowsEveryKindOfPackAsTheTreeItWasMadeFrom)
{
    const struct {
        const char* scheme;
        bool password;
    } cases[] = {{"none", false}, {"rle", false},          {"lz", false},           {"deflate.edl", false},
                 {"zstd-fast.edl", false}, {"zstd-strong.edl", false}, {"none", true}, {"lz", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.scheme) + (c.password ? " with a password" : ""));
        const std::string pack = dir / "p.epk";
        std::vector<std::string> passwordArgs;
        if (c.password) passwordArgs = {"--password-file", dir / "pw"};
        std::vector<std::string> create = {"create", pack, dir / "src", "--scheme", c.scheme};
        create.insert(create.end(), passwordArgs.begin(), passwordArgs.end());
        const EpkRun made = Epk(create);
        ASSERT_EQ(made.status, 0) << made.err;

        std::vector<std::string> mount = {pack, mountPoint};
        mount.insert(mount.end(), passwordArgs.begin(), passwordArgs.end());
        ASSERT_TRUE(MountInForeground(mount)) << ReadText(dir / "err");
        const EpkRun diff = Shell("diff -rq " + Quote(dir / "src") + " " + Quote(mountPoint));
        EXPECT_EQ(diff.status, 0) << diff.out << diff.err;
        EXPECT_EQ(Unmount(), 0);
        EXPECT_EQ(EpkEnded(), 0) << ReadText(dir / "err");
        EXPECT_FALSE(IsMounted(mountPoint));
    }
}

TEST_F(EpkMount, ManyReadersAtOnceGetThePackedBytesAndAOneCallModuleIsNeverCalledTwiceAtOnce)
{
    // epk beside a module that fails a decode meeting another; half the
    // files coded by it, half LZ.
    test::PackDoc doc;
    doc.plugins = PluginHost(test::InstallModules(dir, {"t-onecall.edl"}, TEST_MODULE_DIR, "prog/plugins"));
    program = dir / "prog/epk";
    std::filesystem::copy_file(EPK_PATH, program);
    const uint8_t module = doc.catalogue.AddPlugin("t-onecall.edl", "Test onecall", 0x01020304).value();
    for (int i = 0; i < 24; ++i) {
        const std::string name = "f" + std::to_string(100 + i);
        const std::vector<uint8_t> text = test::TextLikeBytes(20000 + 7000 * i, i);
        const std::vector<uint8_t> noise = test::RandomBytes(3000 + 100 * i, i);
        dir.Write("many/" + name + ".txt", text);
        dir.Write("many/" + name + ".bin", noise);
        doc.AddFile(dir, name + ".txt", text, kSchemeLz);
        doc.AddFile(dir, name + ".bin", noise, module);
    }
    const std::string pack = dir / "many.epk";
    ASSERT_TRUE(doc.Save(pack)) << ::testing::PrintToString(doc.prompt.Texts());
    ASSERT_TRUE(MountInForeground({pack, mountPoint})) << ReadText(dir / "err");

    // Eight readers at once, each comparing every file, each starting at
    // another file.
    std::string readers;
    for (int k = 0; k < 8; ++k)
        readers += "(cd " + Quote(dir / "many") + " && find . -type f | sort | awk 'NR > " + std::to_string(k * 6) +
                   " { print } NR <= " + std::to_string(k * 6) + " { skipped = skipped $0 \"\\n\" } END { printf \"%s\", skipped }'" +
                   " | while read -r f; do cmp -s \"$f\" " + Quote(mountPoint) + "/\"$f\" || echo \"differs: $f\"; done) & ";
    const EpkRun read = Shell(readers + "wait");
    EXPECT_EQ(read.status, 0);
    EXPECT_EQ(read.out + read.err, "");
    EXPECT_EQ(Unmount(), 0);
    EXPECT_EQ(EpkEnded(), 0);
    EXPECT_EQ(ReadText(dir / "err"), "");
}

TEST_F(EpkMount, AnArchiverWalkingTheTreeGetsEveryFileAsPacked)
{
    // Files are decoded ahead of such a walk and handed to the kernel before
    // it asks: many small ones, coded and stored as they are, in folders
    // below folders, and in the folders themselves.
    for (int i = 0; i < 240; ++i) {
        const std::string folder = "tree/d" + std::to_string(i % 4) + (i % 3 ? "/e" + std::to_string(i % 5) : "");
        if (i % 2)
            dir.Write(folder + "/t" + std::to_string(i) + ".txt", test::TextLikeBytes(500 + 97 * i, i));
        else
            dir.Write(folder + "/r" + std::to_string(i) + ".bin", test::RandomBytes(300 + 61 * i, i));
    }
    const std::string pack = dir / "tree.epk";
    const EpkRun made = Epk({"create", pack, dir / "tree", "--scheme", "lz"});
    ASSERT_EQ(made.status, 0) << made.err;
    ASSERT_TRUE(MountInForeground({pack, mountPoint})) << ReadText(dir / "err");
    const EpkRun copied = Shell("mkdir " + Quote(dir / "out") + " && tar -cf - -C " + Quote(mountPoint) +
                                " . | tar -xf - -C " + Quote(dir / "out") + " && diff -r " + Quote(dir / "tree") +
                                " " + Quote(dir / "out"));
    EXPECT_EQ(copied.status, 0) << copied.out << copied.err;
    EXPECT_EQ(Unmount(), 0);
    EXPECT_EQ(EpkEnded(), 0);
    EXPECT_EQ(ReadText(dir / "err"), "");
}

TEST_F(EpkMount, IsReadOnlyAndServesTheOldPackWhenANewOneIsSavedOverIt)
{
    const std::string pack = dir / "p.epk";
    ASSERT_EQ(Epk({"create", pack, dir / "src", "--scheme", "lz"}).status, 0);
    ASSERT_TRUE(MountInForeground({pack, mountPoint})) << ReadText(dir / "err");

    dir.Write("other/big.bin", std::string("another pack altogether"));
    ASSERT_EQ(Epk({"create", pack, dir / "other"}).status, 0);
    const EpkRun diff = Shell("diff -rq " + Quote(dir / "src") + " " + Quote(mountPoint));
    EXPECT_EQ(diff.status, 0) << diff.out << diff.err;

    const std::string m = Quote(mountPoint);
    for (const std::string& write :
         {"echo x > " + m + "/new.txt", "echo x >> " + m + "/中文/資料/说明.txt", "mkdir " + m + "/d",
          "rm " + m + "/empty.bin", "mv " + m + "/big.bin " + m + "/a", "touch " + m + "/empty.bin",
          "chmod 600 " + m + "/big.bin", "truncate -s 0 " + m + "/big.bin"}) {
        const EpkRun r = Shell(write);
        EXPECT_NE(r.status, 0) << write;
        EXPECT_NE(r.err.find("Read-only file system"), std::string::npos) << write << ": " << r.err;
    }

    // Told to stop, it unmounts and ends well.
    ASSERT_GT(pid, 0);
    ::kill(pid, SIGTERM);
    EXPECT_EQ(EpkEnded(), 0) << ReadText(dir / "err");
    EXPECT_FALSE(IsMounted(mountPoint));

    // In the background: epk returns once the mount is in place.
    const EpkRun background = Epk({"mount", pack, mountPoint});
    EXPECT_EQ(background.status, 0) << background.err;
    EXPECT_TRUE(IsMounted(mountPoint));
    EXPECT_EQ(Shell("cat " + m + "/big.bin").out, "another pack altogether");
    EXPECT_EQ(Unmount(), 0);
}

TEST_F(EpkMount, FailsEveryReadOnceThePackIsWrittenOverInPlace)
{
    // Files stored as they are, read straight from the pack; the other pack
    // is bigger, so that every offset of the first still reads something.
    const std::string pack = dir / "p.epk";
    ASSERT_EQ(Epk({"create", pack, dir / "src"}).status, 0);
    dir.Write("other/big.bin", test::RandomBytes(5 << 20, 9));
    const std::string other = dir / "other.epk";
    ASSERT_EQ(Epk({"create", other, dir / "other"}).status, 0);
    ASSERT_TRUE(MountInForeground({pack, mountPoint})) << ReadText(dir / "err");

    // A file opened before and one opened after both fail as they are read.
    const std::string m = Quote(mountPoint);
    const EpkRun openBefore =
        Shell("exec 3<" + m + "/big.bin && cat " + Quote(other) + " >" + Quote(pack) + " && cat <&3");
    EXPECT_NE(openBefore.status, 0);
    EXPECT_EQ(openBefore.out, "");
    EXPECT_NE(openBefore.err.find("Input/output error"), std::string::npos) << openBefore.err;
    const EpkRun openAfter = Shell("cat " + m + "/a/b/c/deep.txt");
    EXPECT_NE(openAfter.status, 0);
    EXPECT_EQ(openAfter.out, "");
    EXPECT_NE(openAfter.err.find("Input/output error"), std::string::npos) << openAfter.err;

    EXPECT_EQ(Unmount(), 0);
    EXPECT_EQ(EpkEnded(), 0);
    EXPECT_EQ(ReadText(dir / "err"), "epk: 文件包“" + pack + "”在挂载后被另一个程序改写，无法再读出其中的文件。\n");
}

TEST_F(EpkMount, LeavesOutWhatExtractionRefusesAndFailsWhatDoesNotDecode)
{
    const test::PackLayout layout{{},
                                  {{"sub", 2, 2}, {"..", 2, 2}},
                                  {{"good.txt", 0, "good"},
                                   {"..", 0, "up"},
                                   {"a/b", 0, "slash"},
                                   {"back\\slash", 0, "back"},
                                   {"dup.txt", 0, "first"},
                                   {"dup.txt", 0, "second"},
                                   {"sub", 0, "a file named as a folder"},
                                   {"bad.lz", 0, "not a stream", 2, 100},
                                   {"in.txt", 1, "in"},
                                   {"hidden.txt", 2, "below .."}}};
    const std::vector<uint8_t> bytes = layout.Bytes();
    const std::string pack = dir.Write("hostile.epk", bytes);
    ASSERT_TRUE(MountInForeground({pack, mountPoint})) << ReadText(dir / "err");
    const std::string m = Quote(mountPoint);
    EXPECT_EQ(Shell("cd " + m + " && find . | sort").out, ".\n./bad.lz\n./dup.txt\n./good.txt\n./sub\n./sub/in.txt\n");
    EXPECT_EQ(Shell("cat " + m + "/dup.txt").out, "first");
    EXPECT_EQ(Shell("stat -c %s " + m + "/bad.lz").out, "100\n");
    const EpkRun bad = Shell("cat " + m + "/bad.lz");
    EXPECT_EQ(bad.out, "");
    EXPECT_NE(bad.err.find("Input/output error"), std::string::npos) << bad.err;
    EXPECT_EQ(Unmount(), 0);
    EXPECT_EQ(EpkEnded(), 0);
    const std::string said = ReadText(dir / "err");
    EXPECT_NE(said.find("不能安全地写到磁盘上"), std::string::npos) << said;
    EXPECT_NE(said.find("文件包中的“dup.txt”与前面的文件或文件夹重名，没有显示。"), std::string::npos) << said;
    EXPECT_NE(said.find("解码失败"), std::string::npos) << said;
}

TEST_F(EpkMount, RefusesBeforeMountingWithAMessage)
{
    const std::string pack = dir / "p.epk";
    ASSERT_EQ(Epk({"create", pack, dir / "src", "--password-file", dir / "pw"}).status, 0);
    dir.Write("wrong", std::string("不对"));
    const struct {
        std::vector<std::string> args;
        int status;
        const char* said;
    } cases[] = {
        {{"mount", pack, mountPoint, "--password-file", dir / "wrong"}, 1, "密码错误"},
        {{"mount", pack, mountPoint}, 1, "密码错误"},
        {{"mount", pack, dir / "missing", "--password-file", dir / "pw"}, 1, "没有这个文件或文件夹"},
        {{"mount", pack, dir / "pw", "--password-file", dir / "pw"}, 1, "不是文件夹"},
        {{"mount", dir / "missing.epk", mountPoint}, 1, "没有这个文件或文件夹"},
        {{"mount", pack}, 2, "参数个数不对"},
    };
    for (const auto& c : cases) {
        const EpkRun r = Epk(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        EXPECT_FALSE(IsMounted(mountPoint));
    }
}

}  // namespace
}  // namespace tarvex
