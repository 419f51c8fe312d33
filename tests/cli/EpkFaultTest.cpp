// Faults injected into epk while it saves: a full disk, a kill in the
// middle of the write, a pipe in place of a file. The old pack must survive
// byte for byte, nothing may be left behind, and the next save must work.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "base/SystemErrorText.h"
#include "talk/Messages.h"
#include "tests/cli/EpkRunner.h"
#include "tests/support/PackFixture.h"

namespace tarvex {
namespace {

using test::ReadFileBytes;
using test::TempDir;

// A limit a child runs under: RLIMIT_FSIZE caps the size of files it may
// write, as a full disk would (SIGXFSZ ignored, so writes fail with EFBIG);
// RLIMIT_DATA caps its memory. No bytes: no limit.
struct Limit {
    int resource = RLIMIT_FSIZE;
    rlim_t bytes = 0;
};

// Starts epk in a child process under the limit.
pid_t StartEpk(const std::vector<std::string>& args, Limit limit, const std::string& errPath)
{
    // The error file is made before the child starts: a child killed at once
    // must still leave it, whatever the scheduler did.
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(err, 2);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        if (limit.bytes > 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit value{limit.bytes, limit.bytes};
            ::setrlimit(limit.resource, &value);
        }
        std::vector<char*> argv{const_cast<char*>(EPK_PATH)};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(EPK_PATH, argv.data());
        ::_exit(127);
    }
    ::close(err);
    return pid;
}

int Wait(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// Waits for a child for at most `seconds`, then kills it; its status, or
// nothing when it had to be killed.
std::optional<int> WaitAtMost(pid_t pid, int seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return std::nullopt;
}

class EpkFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.Write("old/readme.txt", std::string("the old pack"));
        ASSERT_EQ(Epk({"create", pack, dir / "old"}).status, 0);
        old = ReadFileBytes(pack);
        for (int i = 0; i < 8; ++i) dir.Write("big/part" + std::to_string(i), test::RandomBytes(1 << 20, i));
    }
    void ExpectOldPackAndNothingElse()
    {
        EXPECT_EQ(ReadFileBytes(pack), old);
        EXPECT_EQ(dir.List(), (std::vector<std::string>{"big", "err", "old", "p.epk"}));
    }
    TempDir dir;
    std::string pack = dir / "p.epk";
    std::vector<uint8_t> old;
};

TEST_F(EpkFaults, AFullDiskFailsTheSaveAndKeepsTheOldPack)
{
    const pid_t pid = StartEpk({"create", pack, dir / "big"}, {RLIMIT_FSIZE, 3 << 20}, dir / "err");
    EXPECT_EQ(Wait(pid), 1);
    EXPECT_NE(ReadText(dir / "err").find("无法写入文件"), std::string::npos) << ReadText(dir / "err");
    EXPECT_NE(ReadText(dir / "err").find("原来的文件没有改变"), std::string::npos);
    ExpectOldPackAndNothingElse();
    EXPECT_EQ(Epk({"create", pack, dir / "big"}).status, 0);
    EXPECT_EQ(Epk({"test", pack}).status, 0);
}

TEST_F(EpkFaults, AKilledSaveLeavesTheOldPackOrTheWholeNewOne)
{
    for (int delayMs : {5, 30, 80}) {
        const pid_t pid = StartEpk({"create", pack, dir / "big", "--scheme", "lz"}, {}, dir / "err");
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        ::kill(pid, SIGKILL);
        Wait(pid);
        const auto now = ReadFileBytes(pack);
        if (now != old) {
            EXPECT_EQ(Epk({"test", pack}).status, 0) << "a killed save left a broken pack";
            old = now;
        }
        ExpectOldPackAndNothingElse();
    }
    EXPECT_EQ(Epk({"create", pack, dir / "big"}).status, 0);
}

// The big file of the memory test: 1 MiB blocks, each stamped with its
// number, and 3 bytes more.
constexpr size_t kBigBlocks = 256;
std::vector<uint8_t> BigBlock(uint32_t number)
{
    static const std::vector<uint8_t> block = test::RandomBytes(1 << 20, 7);
    std::vector<uint8_t> stamped = block;
    std::memcpy(stamped.data(), &number, sizeof number);
    return stamped;
}

void WriteBigFile(const std::string& path)
{
    std::ofstream out(path, std::ios::binary);
    for (uint32_t i = 0; i < kBigBlocks; ++i) out.write(reinterpret_cast<const char*>(BigBlock(i).data()), 1 << 20);
    out.write("end", 3);
}

bool IsBigFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> got(1 << 20);
    for (uint32_t i = 0; i < kBigBlocks; ++i) {
        const std::vector<uint8_t> want = BigBlock(i);
        if (!in.read(got.data(), static_cast<std::streamsize>(got.size())) ||
            std::memcmp(got.data(), want.data(), got.size()) != 0)
            return false;
    }
    char tail[4] = {};
    return in.read(tail, 4).gcount() == 3 && std::string(tail, 3) == "end";
}

// A pack holding a file four times bigger than the memory epk may use:
// every command that copies it without coding works, with exact bytes (in
// pieces under a password, in the kernel without), and a small coded file
// beside it is decoded and encoded as usual. Long files given the LZ scheme
// are encoded as they are read, within the same memory: one that shrinks,
// and the big one, which does not and is stored as it is.
TEST(EpkMemory, CommandsOnAFileFarBiggerThanTheirMemoryKeepItsBytes)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's own shadow memory cannot live under a data limit";
#endif
    TempDir dir;
    dir.MakeDir("src/video");
    WriteBigFile(dir / "src/video/big.bin");
    const std::vector<uint8_t> text = test::TextLikeBytes(3 << 20, 2);
    dir.Write("src/text.txt", text);
    dir.Write("extra.txt", std::string("6bytes"));
    const std::string one = dir.Write("one.txt", std::string("first"));
    const std::string two = dir.Write("two.txt", std::string("second"));
    const std::string pack = dir / "p.epk";
    const auto run = [&](std::vector<std::string> args) {
        const int status = Wait(StartEpk(args, {RLIMIT_DATA, 64 << 20}, dir / "err"));
        EXPECT_EQ(status, 0) << args[0] << ": " << ReadText(dir / "err");
    };
    run({"create", pack, dir / "src", "--password-file", one});
    run({"scheme", pack, "text.txt", "lz", "--password-file", one});
    run({"add", pack, dir / "extra.txt", "--password-file", one});
    run({"passwd", pack, "--password-file", one, "--new-password-file", two});
    run({"test", pack, "--password-file", two});
    run({"extract", pack, dir / "out", "--password-file", two});
    EXPECT_TRUE(IsBigFile(dir / "out/video/big.bin"));
    EXPECT_EQ(ReadFileBytes(dir / "out/text.txt"), text);
    EXPECT_EQ(ReadText(dir / "out/extra.txt"), "6bytes");
    std::filesystem::remove_all(dir / "out");

    run({"passwd", pack, "--password-file", two, "--no-password"});
    run({"extract", pack, dir / "out"});
    EXPECT_TRUE(IsBigFile(dir / "out/video/big.bin"));
    EXPECT_EQ(ReadFileBytes(dir / "out/text.txt"), text);
    EXPECT_EQ(Epk({"list", pack}).out.find("text.txt\t3145728"), 0u);

    const std::vector<uint8_t> story = test::TextLikeBytes(96 << 20, 3);
    dir.MakeDir("long");
    dir.Write("long/story.txt", story);
    ASSERT_EQ(::link((dir / "src/video/big.bin").c_str(), (dir / "long/big.bin").c_str()), 0);
    run({"create", dir / "lz.epk", dir / "long", "--scheme", "lz"});
    const std::string listed = Epk({"list", dir / "lz.epk"}).out;
    EXPECT_EQ(listed.find("big.bin\t268435459\t268435459\t不编码\nstory.txt\t100663296\t"), 0u) << listed;
    EXPECT_TRUE(listed.ends_with("\tZIV\n")) << listed;
    EXPECT_EQ(Epk({"extract", dir / "lz.epk", dir / "lzout"}).status, 0);
    EXPECT_TRUE(IsBigFile(dir / "lzout/big.bin"));
    EXPECT_EQ(ReadFileBytes(dir / "lzout/story.txt"), story);
}

// A named pipe where a file is expected is refused at once, never waited
// on (opening it would wait for a writer that never comes), and everything
// else goes in. Every run is ended after 10 s should it wait all the same.
TEST(EpkSpecialFiles, APipeIsRefusedAtOnceAndTheOtherFilesGoIn)
{
    TempDir dir;
    dir.Write("src/a.txt", std::string("a"));
    const std::string pipe = dir / "src/pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string b = dir.Write("b.txt", std::string("b"));
    const std::string pack = dir / "p.epk";
    const std::string refusal = Said(Printf(msg::kCannotOpenFile, pipe.c_str(), NotRegularFileText(FileKind::Pipe)));
    const auto run = [&](const std::vector<std::string>& args) {
        const std::optional<int> status = WaitAtMost(StartEpk(args, {}, dir / "err"), 10);
        EXPECT_TRUE(status) << args[0] << " waited on the pipe";
        return status.value_or(-1);
    };

    EXPECT_EQ(run({"create", pack, dir / "src"}), 1);
    EXPECT_NE(ReadText(dir / "err").find(pipe), std::string::npos) << ReadText(dir / "err");
    EXPECT_EQ(Epk({"list", pack}).out, "a.txt\t1\t1\t不编码\n");

    EXPECT_EQ(run({"add", pack, pipe, b}), 1);
    EXPECT_NE(ReadText(dir / "err").find(refusal), std::string::npos) << ReadText(dir / "err");
    EXPECT_EQ(run({"add", pack, dir / "src", "-r"}), 1);
    EXPECT_EQ(Epk({"list", pack}).out, "a.txt\t1\t1\t不编码\nb.txt\t1\t1\t不编码\nsrc/a.txt\t1\t1\t不编码\n");

    // A source that became a pipe between adding and saving fails the save
    // with a message and leaves the old pack as it was. Saved by a child,
    // which tells by its status whether it said the right thing.
    const std::vector<uint8_t> before = ReadFileBytes(pack);
    const pid_t saver = ::fork();
    if (saver == 0) {
        test::PackDoc doc;
        doc.AddFile(dir, "c.txt", test::TextLikeBytes(3000, 1), 2);
        const std::string source = doc.catalogue.Entries()[0].sourcePath;
        const bool replaced = ::unlink(source.c_str()) == 0 && ::mkfifo(source.c_str(), 0600) == 0;
        const bool saved = doc.Save(pack);
        const std::string told = Printf(msg::kReadFailed, "c.txt") + NotRegularFileText(FileKind::Pipe);
        ::_exit(replaced && !saved && doc.prompt.Texts() == std::vector<std::string>{told} ? 0 : 1);
    }
    EXPECT_EQ(WaitAtMost(saver, 10), std::optional<int>(0));
    EXPECT_EQ(ReadFileBytes(pack), before);
}

TEST(EpkExtractLinks, ReplacesALinkInsteadOfWritingThroughIt)
{
    TempDir dir;
    dir.Write("src/a.txt", std::string("from the pack"));
    ASSERT_EQ(Epk({"create", dir / "p.epk", dir / "src"}).status, 0);
    const std::string victim = dir.Write("victim.txt", std::string("must stay"));
    dir.MakeDir("dest");
    ASSERT_EQ(::symlink(victim.c_str(), (dir / "dest/a.txt").c_str()), 0);
    EXPECT_EQ(Epk({"extract", dir / "p.epk", dir / "dest"}).status, 0);
    EXPECT_EQ(ReadText(victim), "must stay");
    EXPECT_EQ(ReadText(dir / "dest/a.txt"), "from the pack");
}

TEST(EpkSaveLinks, SavingThroughALinkKeepsTheLink)
{
    TempDir dir;
    dir.Write("src/a.txt", std::string("1"));
    dir.MakeDir("real");
    ASSERT_EQ(::symlink((dir / "real/p.epk").c_str(), (dir / "link.epk").c_str()), 0);
    ASSERT_EQ(Epk({"create", dir / "link.epk", dir / "src"}).status, 0);
    EXPECT_EQ(dir.List("real"), std::vector<std::string>{"p.epk"});
    EXPECT_EQ(Epk({"list", dir / "link.epk"}).out, "a.txt\t1\t1\t不编码\n");
}

}  // namespace
}  // namespace tarvex
