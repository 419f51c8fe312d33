// Another program at the same pack: a save never overwrites its change and
// never carries over bytes of a file other than the one that was read; two
// writers take turns; a pack goes only where a regular file or nothing is.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <future>
#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "base/SystemErrorText.h"
#include "talk/Messages.h"
#include "tests/support/PackFixture.h"

namespace tarvex {
namespace {

using test::PackDoc;
using test::ReadFileBytes;
using test::TempDir;

// What another program does to the pack.
enum class Act { ReplaceBySave, MoveAway, RewriteInPlace, HoldLock };

class OtherWriters : public ::testing::Test {
protected:
    void SetUp() override
    {
        PackDoc first;
        first.AddFile(dir, "txt\\a.txt", test::TextLikeBytes(4000, 1), 2);
        first.AddFile(dir, "c.bin", test::RandomBytes(2000, 3));
        ASSERT_TRUE(first.Save(path, "pw"));
        expected = first.Contents();
        original = ReadFileBytes(path);
        PackDoc other;
        other.AddFile(dir, "other.txt", test::TextLikeBytes(5000, 7));
        ASSERT_TRUE(other.Save(dir / "other.epk"));
        otherBytes = ReadFileBytes(dir / "other.epk");
        doc = std::make_unique<PackDoc>();
        ASSERT_TRUE(doc->Open(path, "pw"));
        doc->FolderAt("new folder");  // the user's unsaved change
    }

    void Do(Act act)
    {
        switch (act) {
        case Act::ReplaceBySave: ASSERT_EQ(::rename((dir / "other.epk").c_str(), path.c_str()), 0); break;
        case Act::MoveAway: ASSERT_EQ(::rename(path.c_str(), (dir / "moved.epk").c_str()), 0); break;
        case Act::RewriteInPlace: dir.Write("p.epk", otherBytes); break;
        case Act::HoldLock: {
            std::string error;
            ASSERT_EQ(HeldPack::OpenLocked(path, {}, lock, error), LockResult::Locked) << error;
            break;
        }
        }
    }
    // What is at the pack's path once the other program is done.
    std::vector<uint8_t> LeftAtPath(Act act) const
    {
        switch (act) {
        case Act::ReplaceBySave:
        case Act::RewriteInPlace: return otherBytes;
        case Act::MoveAway: return {};
        case Act::HoldLock: return original;
        }
        return {};
    }

    TempDir dir;
    std::string path = dir / "p.epk";
    std::unique_ptr<PackDoc> doc;
    std::map<std::string, std::vector<uint8_t>> expected;
    std::vector<uint8_t> original;
    std::vector<uint8_t> otherBytes;
    std::shared_ptr<HeldPack> lock;
};

TEST_F(OtherWriters, ASaveNeverOverwritesAnotherProgramsChangeNorCarriesItsBytes)
{
    struct Case {
        Act act;
        const char* refusal;       // of a save over the pack, before or during it
        bool saveAsKeepsTheFiles;  // the held file still has the bytes that were read
    };
    for (const Case& c : {Case{Act::ReplaceBySave, msg::kPackReplaced, true},
                          Case{Act::MoveAway, msg::kPackReplaced, true},
                          Case{Act::RewriteInPlace, msg::kPackRewritten, false},
                          Case{Act::HoldLock, msg::kPackBusy, true}}) {
        for (const bool during : {false, true}) {
            if (during && c.act == Act::HoldLock) continue;
            SCOPED_TRACE(testing::Message() << static_cast<int>(c.act) << (during ? " during the save" : " before"));
            SetUp();
            StoreOptions options;
            if (during) {
                options.beforeCommit = [&] {
                    Do(c.act);
                    return true;
                };
            } else {
                Do(c.act);
            }
            EXPECT_FALSE(doc->Save(path, "pw", options));
            EXPECT_EQ(doc->prompt.Texts(), std::vector<std::string>{Printf(c.refusal, path.c_str())});
            EXPECT_EQ(ReadFileBytes(path), LeftAtPath(c.act));
            lock.reset();

            // The user's work goes elsewhere, with the bytes that were read.
            doc->prompt.messages.clear();
            EXPECT_EQ(doc->Save(dir / "q.epk", "pw"), c.saveAsKeepsTheFiles);
            if (c.saveAsKeepsTheFiles) {
                EXPECT_EQ(doc->Contents(), expected);
                EXPECT_TRUE(doc->prompt.messages.empty());
            } else {
                EXPECT_EQ(doc->prompt.Texts(), std::vector<std::string>{Printf(msg::kPackRewritten, path.c_str())});
            }
            EXPECT_EQ(ReadFileBytes(path), LeftAtPath(c.act));
            ::unlink((dir / "q.epk").c_str());
        }
    }
}

TEST_F(OtherWriters, ASaveAsTheUserConfirmedReplacesWhatCameInThePacksPlace)
{
    Do(Act::ReplaceBySave);
    StoreOptions options;
    options.replaceConfirmed = true;
    ASSERT_TRUE(doc->Save(path, "pw", options)) << testing::PrintToString(doc->prompt.Texts());
    EXPECT_EQ(doc->Contents(), expected);
}

TEST_F(OtherWriters, NothingComesWhereNothingWas)
{
    // A pack saved where nothing is replaces nothing that comes meanwhile.
    StoreOptions options;
    options.beforeCommit = [&] {
        dir.Write("new.epk", otherBytes);
        return true;
    };
    EXPECT_FALSE(doc->Save(dir / "new.epk", "", options));
    EXPECT_EQ(doc->prompt.Texts(), std::vector<std::string>{Printf(msg::kTargetChanged, (dir / "new.epk").c_str())});
    EXPECT_EQ(ReadFileBytes(dir / "new.epk"), otherBytes);
}

TEST_F(OtherWriters, AWriterWaitingForTheLockFollowsTheSaveThatReplacedThePack)
{
    std::shared_ptr<HeldPack> mine;
    std::string error;
    ASSERT_EQ(HeldPack::OpenLocked(path, {}, mine, error), LockResult::Locked);
    PackDoc editing;
    editing.prompt.passwords.push_back(DerivePasswordBlocks("pw"));
    ASSERT_TRUE(editing.archive.Load(mine, editing.prompt));
    mine.reset();  // the archive keeps it, locked, as an edit does

    std::promise<void> waiting;
    LockWait wait;
    wait.limit = std::chrono::minutes(5);
    wait.onWaiting = [&] { waiting.set_value(); };
    std::shared_ptr<HeldPack> next;
    std::future<LockResult> second =
        std::async(std::launch::async, [&] { return HeldPack::OpenLocked(path, wait, next, error); });
    waiting.get_future().wait();
    editing.FolderAt("made while the other waits");
    ASSERT_TRUE(editing.Save(path, "pw"));

    ASSERT_EQ(second.get(), LockResult::Locked);
    EXPECT_TRUE(next->IsAt(path));
    EXPECT_TRUE(next->Stamp() == editing.archive.HeldFile()->Stamp());
    std::shared_ptr<HeldPack> third;
    EXPECT_EQ(HeldPack::OpenLocked(path, {}, third, error), LockResult::Busy);
}

TEST_F(OtherWriters, APackGoesOnlyWhereARegularFileOrNothingIs)
{
    std::vector<std::pair<std::string, FileKind>> places = {{dir / "fifo", FileKind::Pipe},
                                                            {dir / "folder", FileKind::Folder}};
    ASSERT_EQ(::mkfifo(places[0].first.c_str(), 0666), 0);
    ASSERT_EQ(::mkdir(places[1].first.c_str(), 0777), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = dir / "socket";
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    places.emplace_back(socketPath, FileKind::Socket);
    // A device node in the pack's place (a mistyped path on a build machine
    // running as root) is never renamed over.
    if (::geteuid() == 0 && ::mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        places.emplace_back(dir / "null", FileKind::Device);
    ASSERT_EQ(::symlink("fifo", (dir / "link-to-fifo").c_str()), 0);
    places.emplace_back(dir / "link-to-fifo", FileKind::Pipe);

    for (const auto& [place, type] : places) {
        SCOPED_TRACE(place);
        doc->prompt.messages.clear();
        EXPECT_FALSE(doc->Save(place));
        EXPECT_EQ(doc->prompt.Texts(),
                  std::vector<std::string>{Printf(msg::kTargetNotRegular, place.c_str(), NotRegularFileText(type))});
        PathStatus st;
        std::string error;
        ASSERT_EQ(LookAtPath(place, st, error), PathState::Found);
        EXPECT_EQ(st.kind, type);
    }
    ::close(sock);
}

}  // namespace
}  // namespace tarvex
