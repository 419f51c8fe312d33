// Two programs writing one pack: the second waits for the first and then
// builds on its change, or fails clearly; nothing is lost or mixed up.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "platform/HeldPack.h"
#include "talk/Messages.h"
#include "tests/cli/EpkRunner.h"
#include "tests/support/PackFixture.h"

namespace tarvex {
namespace {

using test::ReadFileBytes;
using test::TempDir;

class EpkWriters : public ::testing::Test {
protected:
    void SetUp() override
    {
        Source("src/readme.txt", test::TextLikeBytes(2000, 1));
        Source("src/data/a.txt", test::TextLikeBytes(3000, 2));
        Source("src/data/b.bin", test::RandomBytes(70000, 3));
        dir.Write("more/x.txt", std::string("x"));
        dir.Write("more/y.txt", std::string("yy"));
        dir.Write("more/tree/t1.txt", test::TextLikeBytes(900, 4));
        dir.Write("more/tree/deeper/t2.txt", test::RandomBytes(300, 5));
        dir.Write("more/big.txt", test::TextLikeBytes(6 << 20, 6));
        ASSERT_EQ(Epk({"create", dir / "base.epk", dir / "src", "--scheme", "lz"}).status, 0);
    }
    void Source(const std::string& path, const std::vector<uint8_t>& bytes)
    {
        dir.Write(path, bytes);
        std::string packPath = path.substr(4);
        std::replace(packPath.begin(), packPath.end(), '/', '\\');
        base[packPath] = bytes;
    }

    TempDir dir;
    std::string pack = dir / "p.epk";
    std::map<std::string, std::vector<uint8_t>> base;
};

TEST_F(EpkWriters, TwoEditsAtOnceBothLandAndNothingHoldsOtherBytes)
{
    dir.Write("src2/extra.txt", std::string("extra"));
    for (const auto& [path, bytes] : base) {
        std::string diskPath = path;
        std::replace(diskPath.begin(), diskPath.end(), '\\', '/');
        dir.Write("src2/" + diskPath, bytes);
    }
    const std::vector<uint8_t> x{'x'};
    const std::vector<uint8_t> y{'y', 'y'};
    struct Case {
        std::vector<std::string> first, second;
        std::map<std::string, std::vector<uint8_t>> added;
        std::vector<std::string> removed;
        std::vector<std::string> folders;  // that must exist afterwards
    };
    const std::vector<Case> cases = {
        {{"add", dir / "more/x.txt", "--to", "A"}, {"add", dir / "more/y.txt", "--to", "B"},
         {{"A\\x.txt", x}, {"B\\y.txt", y}}, {}, {}},
        {{"add", dir / "more/x.txt", "--to", "new\\deep"}, {"add", dir / "more/y.txt"},
         {{"new\\deep\\x.txt", x}, {"y.txt", y}}, {}, {}},
        {{"rm", "readme.txt"}, {"mkdir", "M"}, {}, {"readme.txt"}, {"M"}},
        {{"add", dir / "more/big.txt", "--scheme", "lz"}, {"mkdir", "M"},
         {{"big.txt", ReadFileBytes(dir / "more/big.txt")}}, {}, {"M"}},
        {{"add", dir / "more/tree", "-r"}, {"mkdir", "M"},
         {{"tree\\t1.txt", ReadFileBytes(dir / "more/tree/t1.txt")},
          {"tree\\deeper\\t2.txt", ReadFileBytes(dir / "more/tree/deeper/t2.txt")}},
         {}, {"M"}},
        {{"sync", dir / "src2"}, {"add", dir / "more/y.txt", "--to", "B"},
         {{"extra.txt", {'e', 'x', 't', 'r', 'a'}}, {"B\\y.txt", y}}, {}, {}},
    };
    const auto line = [&](std::vector<std::string> args, const std::string& err) {
        args.insert(args.begin() + 1, pack);
        std::string command = Quote(EPK_PATH);
        for (const std::string& a : args) command += " " + Quote(a);
        return command + " >/dev/null 2>" + Quote(err);
    };
    for (int round = 0; round < 3; ++round) {
        for (size_t k = 0; k < cases.size(); ++k) {
            const Case& c = cases[k];
            SCOPED_TRACE(testing::Message() << "round " << round << ", case " << k);
            std::filesystem::copy_file(dir / "base.epk", pack, std::filesystem::copy_options::overwrite_existing);
            // Started together, in both orders across rounds.
            const std::string a = line(round % 2 ? c.second : c.first, dir / "e1");
            const std::string b = line(round % 2 ? c.first : c.second, dir / "e2");
            const EpkRun both = RunCaptured("bash -c " + Quote(a + " & p=$!; " + b + "; s=$?; wait $p; echo $? $s"));
            EXPECT_EQ(both.out, "0 0\n") << ReadText(dir / "e1") << ReadText(dir / "e2");

            auto want = base;
            for (const auto& [path, bytes] : c.added) want[path] = bytes;
            for (const std::string& path : c.removed) want.erase(path);
            test::PackDoc doc;
            ASSERT_TRUE(doc.Open(pack));
            EXPECT_EQ(doc.Contents(), want);
            const auto folders = doc.Folders();
            for (const std::string& folder : c.folders) EXPECT_EQ(folders.count(folder), 1u) << folder;
        }
    }
}

TEST_F(EpkWriters, ASecondWriterWaitsAsLongAsItIsToldThenFailsOrBuildsOnTheFirst)
{
    std::filesystem::copy_file(dir / "base.epk", pack);
    const auto before = ReadFileBytes(pack);
    std::shared_ptr<HeldPack> held;
    std::string error;
    ASSERT_EQ(HeldPack::OpenLocked(pack, {}, held, error), LockResult::Locked);

    for (const auto& args : std::vector<std::vector<std::string>>{
             {"mkdir", pack, "M", "--wait", "0"},
             {"create", pack, dir / "src", "--wait", "0.05"},
             {"sync", pack, dir / "src", "--wait", "0"}}) {
        const EpkRun r = Epk(args);
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_NE(r.err.find("另一个程序"), std::string::npos) << args[0] << ": " << r.err;
        EXPECT_EQ(ReadFileBytes(pack), before) << args[0];
    }
    const EpkRun bad = Epk({"mkdir", pack, "M", "--wait", "soon"});
    EXPECT_EQ(bad.status, 2);

    // Told to wait, it says so once and goes on when the lock is let go.
    const std::string err = dir / "err";
    std::future<EpkRun> waiting = std::async(std::launch::async, [&] {
        return RunCaptured("(" + Quote(EPK_PATH) + " mkdir " + Quote(pack) + " M --wait 600 2>" + Quote(err) + ")");
    });
    const std::string notice = "epk: " + Printf(msg::kPackWaiting, pack.c_str()) + "\n";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (ReadText(err) != notice && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(ReadText(err), notice);
    held.reset();
    EXPECT_EQ(waiting.get().status, 0);
    EXPECT_EQ(ReadText(err), notice);
    test::PackDoc doc;
    ASSERT_TRUE(doc.Open(pack));
    EXPECT_EQ(doc.Folders().count("M"), 1u);
}

}  // namespace
}  // namespace tarvex
