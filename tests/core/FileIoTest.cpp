#include <gtest/gtest.h>

#include <thread>
#include <unistd.h>

#include "archive/FileIo.h"
#include "tests/support/TempDir.h"

namespace tarvex {
namespace {

using WholeRead = File::WholeRead;

WholeRead ReadWholeOf(const std::string& path, std::vector<uint8_t>& bytes)
{
    File file;
    EXPECT_TRUE(file.OpenRead(path));
    return file.ReadToEnd(bytes);
}

TEST(FileIo, ReadToEndTellsAFileOfTheExpectedLengthFromALongerOrShorterOne)
{
    test::TempDir dir;
    const std::string ten = dir.Write("ten", "0123456789");
    const std::string empty = dir.Write("empty", "");

    std::vector<uint8_t> exact(10);
    EXPECT_EQ(ReadWholeOf(ten, exact), WholeRead::Ok);
    EXPECT_EQ(std::string(exact.begin(), exact.end()), "0123456789");

    std::vector<uint8_t> fewer(9);
    EXPECT_EQ(ReadWholeOf(ten, fewer), WholeRead::Longer);
    std::vector<uint8_t> more(11);
    EXPECT_EQ(ReadWholeOf(ten, more), WholeRead::Failed);

    std::vector<uint8_t> none;
    EXPECT_EQ(ReadWholeOf(empty, none), WholeRead::Ok);
    EXPECT_EQ(ReadWholeOf(ten, none), WholeRead::Longer);
}

// A pipe answers in pieces, as a slow source would: the first short answer
// is not the end, and what follows still decides.
TEST(FileIo, ReadToEndGathersASourceThatAnswersInPieces)
{
    for (const std::string tail : {"456789", "4567890"}) {
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        File reader;
        reader.Adopt(ends[0]);
        ASSERT_EQ(::write(ends[1], "0123", 4), 4);
        std::thread writer([&] {
            ASSERT_EQ(::write(ends[1], tail.data(), tail.size()), static_cast<ssize_t>(tail.size()));
            ::close(ends[1]);
        });
        std::vector<uint8_t> bytes(10);
        const WholeRead result = reader.ReadToEnd(bytes);
        writer.join();
        EXPECT_EQ(result, tail.size() == 6 ? WholeRead::Ok : WholeRead::Longer) << tail;
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123456789");
    }
}

TEST(FileIo, AFolderOpenerFindsEachFileInItsOwnFolder)
{
    test::TempDir dir;
    const std::vector<std::pair<std::string, std::string>> files = {
        {"a/x", "ax"}, {"a/y", "ay"}, {"ab/x", "abx"}, {"a/x2", "ax2"}, {"a/x", "ax"}};
    FolderOpener opener;
    for (const auto& [name, content] : files) {
        File file;
        uint64_t size = 0;
        ASSERT_TRUE(opener.OpenRead(file, dir.Write(name, content), &size)) << name;
        std::vector<uint8_t> bytes(size);
        ASSERT_EQ(file.ReadToEnd(bytes), WholeRead::Ok);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), content) << name;
    }

    // A folder or file that is not there, and a folder in place of a file,
    // fail with the system's reason.
    for (const std::string& path : {dir / "gone/x", dir / "a/gone", dir / "ab"}) {
        File file;
        EXPECT_FALSE(opener.OpenRead(file, path, nullptr)) << path;
        EXPECT_FALSE(file.Error().empty());
    }
}

}  // namespace
}  // namespace tarvex
