// Faults injected into epk while it saves: a full disk and a kill in the
// middle of the write. The old pack must survive byte for byte, nothing may
// be left behind, and the next save must work.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/cli/EpkRunner.h"
#include "tests/support/PackFixture.h"

namespace tarvex {
namespace {

using test::ReadFileBytes;
using test::TempDir;

// Starts epk in a child process; `limitBytes` > 0 caps the size of files it
// may write, as a full disk would (SIGXFSZ ignored, so writes fail with EFBIG).
pid_t StartEpk(const std::vector<std::string>& args, rlim_t limitBytes, const std::string& errPath)
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
        if (limitBytes > 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{limitBytes, limitBytes};
            ::setrlimit(RLIMIT_FSIZE, &limit);
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
    const pid_t pid = StartEpk({"create", pack, dir / "big"}, 3 << 20, dir / "err");
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
        const pid_t pid = StartEpk({"create", pack, dir / "big", "--scheme", "lz"}, 0, dir / "err");
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
