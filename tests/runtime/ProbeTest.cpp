// The two probes run as a user runs them: in a folder holding test.epk and an
// "ext" folder, answers typed on standard input, the transcript compared
// line by line.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

#include "base/GbkText.h"
#include "base/SystemErrorText.h"
#include "codecs/LzCodec.h"
#include "runtime/RuntimeMessages.h"
#include "talk/Messages.h"
#include "tests/support/PackFixture.h"
#include "tests/support/PackLayout.h"

namespace tarvex {
namespace {

using test::PackDoc;
using test::ReadFileBytes;
using test::TempDir;

struct ProbeRun {
    int status;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& arg)
{
    std::string q = "'";
    for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Gbk(const std::string& utf8)
{
    return Utf8ToGbk(utf8).value();
}

class Probes : public ::testing::Test {
protected:
    void SetUp() override
    {
        MakeTestPack({{"test.txt", "Hello world!"}, {"info\\info.txt", "包里的信息"}});
        dir.Write("ext/info/info.txt", std::string("外部的信息"));
    }

    void MakeTestPack(const std::vector<std::pair<std::string, std::string>>& files, uint8_t scheme = 2,
                      const std::string& password = "")
    {
        PackDoc doc;
        for (const auto& [path, text] : files)
            doc.AddFile(sources, path, std::vector<uint8_t>(text.begin(), text.end()), scheme);
        ASSERT_TRUE(doc.Save(dir / "test.epk", password));
    }

    // Runs a probe in the folder with input on standard input.
    ProbeRun Run(const char* program, const std::string& input, const std::string& env = "LC_ALL=C.UTF-8")
    {
        const std::string in = io.Write("in", input);
        const std::string command = "cd " + Quote(dir.Path()) + " && env " + env + " " + Quote(program) + " <" +
                                    Quote(in) + " >" + Quote(io / "out") + " 2>" + Quote(io / "err");
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(io / "out"), ReadText(io / "err")};
    }

    TempDir dir;
    TempDir sources;
    TempDir io;
};

const std::vector<std::string> kPackLookupTranscript = {
    "1.禁用外部检索...读取文件",
    "读取hello.txt...",
    "文件test.txt的长度是：12字节",
    "Hello world!",
    "文件info\\info.txt的长度是：15字节",
    "包里的信息",
    "2.启用外部检索...使用默认外部路径...读取文件",
    "读取hello.txt...",
    "文件test.txt的长度是：12字节",
    "Hello world!",
    "文件info\\info.txt的长度是：15字节",
    "包里的信息",
    "3.启用外部检索...使用外部路径\"ext\"...读取文件",
    "读取hello.txt...",
    "文件test.txt的长度是：12字节",
    "Hello world!",
    "文件info\\info.txt的长度是：15字节",
    "外部的信息",
};

TEST_F(Probes, PackLookupReadsThePackThreeTimes)
{
    const ProbeRun r = Run(PACK_LOOKUP_PROBE, "x\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Lines(r.out), kPackLookupTranscript);
    EXPECT_EQ(r.out.back(), '\n');
    EXPECT_EQ(r.err, "");
}

TEST_F(Probes, PackLookupLooseFileBesideThePackCountsFromPassTwo)
{
    dir.Write("test.txt", std::string("loose"));
    std::vector<std::string> expected = kPackLookupTranscript;
    // Pass 3 looks in "ext" instead, which holds no test.txt.
    expected[8] = "文件test.txt的长度是：5字节";
    expected[9] = "loose";
    EXPECT_EQ(Lines(Run(PACK_LOOKUP_PROBE, "x\n").out), expected);
}

TEST_F(Probes, PackLookupEndsAtOnceWhenThePackDoesNotOpen)
{
    struct Case {
        const char* what;
        std::function<void()> prepare;
        std::string message;
    };
    const Case cases[] = {
        {"no pack", [&] { std::remove((dir / "test.epk").c_str()); },
         Printf(msg::kCannotOpenFile, "test.epk", SystemErrorText(ENOENT).c_str())},
        {"protected pack",
         [&] {
             MakeTestPack({{"test.txt", "secret"}}, 0, "口令");
         },
         std::string(msg::kNoPasswordGiven) + "\n" + msg::kWrongPassword},
        {"not a pack", [&] { dir.Write("test.epk", std::string("plain text")); }, msg::kNotAPack},
    };
    for (const Case& c : cases) {
        c.prepare();
        const ProbeRun r = Run(PACK_LOOKUP_PROBE, "");
        EXPECT_EQ(r.status, 0) << c.what;
        EXPECT_EQ(r.out, "1.禁用外部检索...读取文件\n") << c.what;
        EXPECT_EQ(r.err, c.message + "\n") << c.what;
    }
}

TEST_F(Probes, PackLookupShowsEmptyAndMissingFilesAsZeroLengthAndEmptyText)
{
    MakeTestPack({{"test.txt", ""}});
    const ProbeRun r = Run(PACK_LOOKUP_PROBE, "x\n");
    const std::vector<std::string> pass = {"读取hello.txt...", "文件test.txt的长度是：0字节", "",
                                           "文件info\\info.txt的长度是：0字节", ""};
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 18u) << r.out;
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.begin() + 6), pass);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 7, lines.begin() + 12), pass);
    // The loose file in ext stands in for the missing packed one.
    EXPECT_EQ(lines[16], "文件info\\info.txt的长度是：15字节");
    EXPECT_EQ(lines[17], "外部的信息");
    const std::string missing = Printf(msg::kNotInPack, "test.epk", "info\\info.txt") + "\n";
    EXPECT_EQ(r.err, missing + missing);
}

TEST_F(Probes, PackLookupAllocatesNothingForFilesThatCannotBeDecoded)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's own shadow memory cannot live under an address-space limit";
#endif
    // Under a 256 MiB limit, a length taken from any of these files would
    // end the probe: test.txt claims nearly 4 GiB with a scheme no decoder
    // has, or 280 MiB with an LZ stream of 1.1 MiB that gives 1.1 MiB;
    // info.txt claims nearly 4 GiB of a module that is not there, or 20
    // bytes more than its RLE stream gives.
    const std::vector<uint8_t> random = test::RandomBytes(1100 << 10, 9);
    std::string lz(random.size() * 3, '\0');
    lz.resize(LzEncode(random, {reinterpret_cast<uint8_t*>(lz.data()), lz.size()}));
    const std::string rle("\x64\0\0\0\xE1\x61", 6);
    struct Case {
        test::LaidOutFile test;
        test::LaidOutFile info;
        std::string messages;  // of each pass
    };
    const Case cases[] = {
        {{"test.txt", 0, "abc", 0x05, 0xFFFFFFF0u}, {"info.txt", 1, "abc", 0x80, 0xFFFFFFF0u},
         Printf(msg::kUnknownScheme, "test.txt") + "\n" + "没有找到扩展解码模块：gone.edl\n"},
        {{"test.txt", 0, lz, 2, 280u << 20}, {"info.txt", 1, rle, 1, 120},
         Printf(msg::kDecodeFailedBuiltin, "ZIV", "test.txt") + "\n" +
             Printf(msg::kDecodeFailedBuiltin, "RLE", "info.txt") + "\n"},
    };
    std::remove((dir / "ext/info/info.txt").c_str());
    for (const Case& c : cases) {
        dir.Write("test.epk", test::PackLayout{{{"Gone", "gone.edl", 1}}, {{"info", 1, 1}}, {c.test, c.info}}.Bytes());
        const ProbeRun r = Run(PACK_LOOKUP_PROBE, "x\n", "LC_ALL=C.UTF-8 prlimit --as=268435456");
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<std::string> expected;
        for (size_t i = 0; i < kPackLookupTranscript.size(); i += 6) {
            expected.insert(expected.end(), {kPackLookupTranscript[i], kPackLookupTranscript[i + 1],
                                             "文件test.txt的长度是：0字节", "", "文件info\\info.txt的长度是：0字节", ""});
        }
        EXPECT_EQ(Lines(r.out), expected) << c.test.scheme;
        EXPECT_EQ(r.err, c.messages + c.messages + c.messages) << c.test.scheme;
    }
}

TEST_F(Probes, PackLookupSpeaksGbkToAGbkConsole)
{
    // A GBK locale built for this test alone; skipped where the locale sources are not installed.
    const std::string command = "mkdir -p " + Quote(io / "locales") + " && localedef -i zh_CN -f GBK " +
                                Quote(io / "locales/zh_CN.GBK") + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) GTEST_SKIP() << "no GBK locale can be built here";
    const ProbeRun r = Run(PACK_LOOKUP_PROBE, "x\n", "LOCPATH=" + Quote(io / "locales") + " LC_ALL=zh_CN.GBK");
    std::vector<std::string> expected;
    for (const std::string& line : kPackLookupTranscript) {
        // File contents are bytes and pass unchanged.
        const bool content = line.find("的信息") != std::string::npos || line == "Hello world!";
        expected.push_back(content ? line : Gbk(line));
    }
    EXPECT_EQ(Lines(r.out), expected);
}

const std::string kFileRwPrompts = "请输入要存储的文件名：请输入要写入的内容（请不要包含空格）：写入成功！";

TEST_F(Probes, FileRwReadsOneFileAndWritesAWordToAnother)
{
    dir.Write("x.txt", std::string("twelve bytes"));
    const ProbeRun r = Run(FILE_RW_PROBE, "x.txt\nout.txt\nhello\nq\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{"请输入要读取的文件名文件x.txt的长度是：12字节", "twelve bytes",
                                                      kFileRwPrompts}));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadFileBytes(dir / "out.txt"), (std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'}));
}

TEST_F(Probes, FileRwGoesOnWithoutALengthLineWhenTheFileCannotBeRead)
{
    const ProbeRun r = Run(FILE_RW_PROBE, "missing.txt\nout.txt\nhi\nq\n");
    EXPECT_EQ(r.out, "请输入要读取的文件名" + kFileRwPrompts);
    EXPECT_EQ(r.err, Printf(msg::kCannotOpenFile, "missing.txt", SystemErrorText(ENOENT).c_str()) + "\n");
    EXPECT_EQ(ReadText(dir / "out.txt"), "hi");
}

TEST_F(Probes, FileRwWritesOnlyTheFirstWordOfATextWithBlanks)
{
    dir.Write("x.txt", std::string("x"));
    const ProbeRun r = Run(FILE_RW_PROBE, "x.txt out.txt two words");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadText(dir / "out.txt"), "two");
}

TEST_F(Probes, FileRwCutsWordsTooLongForItsBufferAtAWholeCharacter)
{
    const std::string longName(300, 'n');
    std::string longText = "ab";
    for (int i = 0; i < 100; ++i) longText += "字";
    const ProbeRun r = Run(FILE_RW_PROBE, longName + "\nout.txt\n" + longText + "\nq\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "请输入要读取的文件名" + kFileRwPrompts);
    // The name was cut to 255 characters, and the rest of it did not become the next answer.
    EXPECT_EQ(r.err, Printf(msg::kCannotOpenFile, std::string(255, 'n').c_str(), SystemErrorText(ENOENT).c_str()) + "\n");
    EXPECT_EQ(ReadText(dir / "out.txt"), longText.substr(0, 2 + 84 * 3));
}

}  // namespace
}  // namespace tarvex
