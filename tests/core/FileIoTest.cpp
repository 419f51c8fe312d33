#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "base/AppFolder.h"
#include "base/SystemErrorText.h"
#include "platform/FileIo.h"
#include "platform/RangeCopy.h"
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

    // A folder or file that is not there fails with the system's reason;
    // a folder, a pipe or a device in place of a file is refused as what it
    // is, and the pipe is not waited on.
    const std::string pipe = dir / "a/pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const struct {
        std::string path;
        std::string error;
        bool refusedType;
    } failures[] = {
        {dir / "gone/x", SystemErrorText(ENOENT), false},          {dir / "a/gone", SystemErrorText(ENOENT), false},
        {dir / "ab", NotRegularFileText(FileKind::Folder), true},  {pipe, NotRegularFileText(FileKind::Pipe), true},
        {"/dev/null", NotRegularFileText(FileKind::Device), true},
    };
    for (const auto& failure : failures) {
        File file;
        EXPECT_FALSE(opener.OpenRead(file, failure.path, nullptr)) << failure.path;
        EXPECT_EQ(file.Error(), failure.error) << failure.path;
        EXPECT_EQ(file.RefusedType(), failure.refusedType) << failure.path;
        EXPECT_FALSE(opener.OpenReadUnsized(file, failure.path)) << failure.path;
        EXPECT_FALSE(file.IsOpen());
    }
}

TEST(FileIo, SystemErrorsHaveChineseTextsAndTheRestTheirNumber)
{
    const std::pair<int, const char*> texts[] = {
        {ENOENT, "没有这个文件或文件夹"}, {EACCES, "权限不够"},      {EPERM, "权限不够"},
        {ENOSPC, "磁盘空间不足"},         {EROFS, "只读文件系统"},    {EISDIR, "是一个文件夹"},
        {ENOTDIR, "不是文件夹"},          {ENAMETOOLONG, "名字太长"}, {EEXIST, "文件已存在"},
        {EMFILE, "打开的文件太多"},       {ENFILE, "打开的文件太多"}, {EIO, "输入/输出错误"},
        {EXDEV, "系统错误 18"},           {0, "系统错误 0"},
    };
    for (const auto& [errnum, text] : texts) EXPECT_EQ(SystemErrorText(errnum), text) << errnum;
    EXPECT_EQ(NotRegularFileText(FileKind::Regular), nullptr);
    EXPECT_STREQ(NotRegularFileText(FileKind::Socket), "是一个套接字，不是普通文件");
}

// A range goes over in the kernel (its bytes keeping their place in the
// page, or moved to another), or through pieces altered on the way; a source
// that ends early is told as such, never as a success.
TEST(FileIo, CopyRangeCopiesInTheKernelOrInPiecesAndTellsASourceThatEndsEarly)
{
    test::TempDir dir;
    const std::vector<uint8_t> bytes = test::RandomBytes((3 << 20) + 5, 4);
    const std::string sourcePath = dir.Write("source", bytes);
    std::vector<uint8_t> scratch(64 << 10);
    for (const std::string head : {"hd", "head..."}) {
        for (const bool altered : {false, true}) {
            for (const uint64_t missing : {uint64_t{0}, uint64_t{100}}) {
                SCOPED_TRACE(head + (altered ? ", altered, " : ", as it is, ") + std::to_string(missing) +
                             " bytes missing");
                File source;
                ASSERT_TRUE(source.OpenRead(sourcePath));
                File target;
                ASSERT_TRUE(target.CreateWrite(dir / "target"));
                ASSERT_TRUE(target.WriteAll({reinterpret_cast<const uint8_t*>(head.data()), head.size()}));
                RangeCopy range;
                range.offset = 7;
                range.length = bytes.size() - 7 + missing;
                if (altered)
                    range.transform = [](std::span<uint8_t> piece, uint64_t at) {
                        for (size_t i = 0; i < piece.size(); ++i) piece[i] ^= static_cast<uint8_t>(at + i);
                    };
                uint64_t reported = 0;
                range.progress = [&](uint64_t done) {
                    EXPECT_GT(done, reported);
                    reported = done;
                };
                std::string error;
                const CopyStatus status = CopyRange(source, target, range, scratch, error);
                EXPECT_EQ(status, missing ? CopyStatus::SourceEnded : CopyStatus::Ok) << error;
                target.Close();

                std::vector<uint8_t> want(head.begin(), head.end());
                for (size_t i = 7; i < bytes.size(); ++i)
                    want.push_back(bytes[i] ^ (altered ? static_cast<uint8_t>(i - 7) : 0));
                EXPECT_EQ(test::ReadFileBytes(dir / "target"), want);
                if (!missing) {
                    EXPECT_EQ(reported, range.length);
                }
            }
        }
    }
    File source;
    ASSERT_TRUE(source.OpenRead(sourcePath));
    EXPECT_TRUE(HasByteAt(source, bytes.size() - 1));
    EXPECT_FALSE(HasByteAt(source, bytes.size()));
}

TEST(FileIo, TheProgramFolderKeepsItsFinalSeparator)
{
    for (const auto& [path, folder] : {std::pair{"/a/b/prog", "/a/b/"}, std::pair{"prog", "prog"},
                                       std::pair{"/prog", "/"}, std::pair{"a/", "a/"}, std::pair{"", ""}})
        EXPECT_EQ(FolderOfPath(path), folder) << path;
    // The running test program's own folder, with the separator.
    const std::string app = GetAppFolder();
    ASSERT_FALSE(app.empty());
    EXPECT_EQ(app.front(), '/');
    EXPECT_EQ(app.back(), '/');
    EXPECT_EQ(::access((app + "core_tests").c_str(), X_OK), 0);
}

}  // namespace
}  // namespace tarvex
