// CRQ_File as a game uses it: packs of every scheme, protected and damaged
// packs, loose files beside and outside the pack, plain files, reopening.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <utility>

#include "base/GbkText.h"
#include "base/SystemErrorText.h"
#include "codecs/LzCodec.h"
#include "format/PasswordKeys.h"
#include "pack/PackReader.h"
#include "runtime/RQ_File.h"
#include "runtime/RuntimeMessages.h"
#include "talk/Messages.h"
#include "tests/support/PackFixture.h"
#include "tests/support/PackLayout.h"

namespace tarvex {
namespace {

using test::PackDoc;
using test::ReadFileBytes;
using test::TempDir;

std::string Gbk(const std::string& utf8)
{
    return Utf8ToGbk(utf8).value();
}

using Files = std::vector<std::pair<std::string, std::string>>;

// Saves a pack at path holding files by pack path (GBK), all with scheme.
std::string MakePack(const TempDir& dir, const std::string& path, const Files& files, uint8_t scheme = 0,
                     const std::string& password = "")
{
    PackDoc doc;
    for (const auto& [packPath, bytes] : files)
        doc.AddFile(dir, packPath, std::vector<uint8_t>(bytes.begin(), bytes.end()), scheme);
    EXPECT_TRUE(doc.Save(path, password)) << ::testing::PrintToString(doc.prompt.Texts());
    return path;
}

// An unprotected pack laid out by hand: one folder holding one file.
std::vector<uint8_t> TinyPack(const std::string& folder, const std::string& file, const std::string& data,
                              uint8_t scheme = 0)
{
    std::vector<uint8_t> b = {'Z', 'V', 'P', 'K', 1, 0, 1, 0, 1, 0, 0, 0};
    const auto put = [&b](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    put(static_cast<uint32_t>(1 + file.size() + 15), 4);
    b.push_back(static_cast<uint8_t>(folder.size()));
    b.insert(b.end(), folder.begin(), folder.end());
    put(1, 2);
    put(1, 2);
    const auto offset = static_cast<uint32_t>(b.size());
    b.insert(b.end(), data.begin(), data.end());
    b.push_back(static_cast<uint8_t>(file.size()));
    b.insert(b.end(), file.begin(), file.end());
    put(offset, 4);
    put(static_cast<uint32_t>(data.size()), 4);
    put(static_cast<uint32_t>(data.size()), 4);
    put(1, 2);
    b.push_back(scheme);
    return b;
}

// The LZ scheme's stream of these bytes.
std::string LzStream(const std::string& bytes)
{
    std::string stream(3 * bytes.size() + 5, '\0');
    stream.resize(LzEncode({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()},
                           {reinterpret_cast<uint8_t*>(stream.data()), stream.size()}));
    return stream;
}

// What the library printed on standard error while it lives.
class StderrCapture {
public:
    StderrCapture() { testing::internal::CaptureStderr(); }
    ~StderrCapture()
    {
        if (!taken_) testing::internal::GetCapturedStderr();
    }
    std::string Take()
    {
        taken_ = true;
        return testing::internal::GetCapturedStderr();
    }

private:
    bool taken_ = false;
};

std::string Line(const std::string& text)
{
    return text + "\n";
}

// The located file through the object's buffer.
std::string ReadText(CRQ_File& file)
{
    if (!file.Read(nullptr, 0)) return "<FAILED:" + std::string(file.m_pData) + ">";
    return std::string(file.m_pData, file.GetLength());
}

std::string LocateAndRead(CRQ_File& file, const std::string& path)
{
    if (!file.Locate(path.c_str(), nullptr)) return "<NOT FOUND>";
    return ReadText(file);
}

class PackSchemes : public ::testing::TestWithParam<uint8_t> {};

std::string SchemeLabel(const ::testing::TestParamInfo<uint8_t>& info)
{
    static const char* const labels[] = {"None", "Rle", "Lz"};
    return labels[info.param];
}

TEST_P(PackSchemes, EveryDestinationGetsTheBytesAndATerminatingZero)
{
    TempDir dir;
    const std::vector<uint8_t> binary = test::RandomBytes(70000, 3);  // holds zero bytes
    const std::string text(reinterpret_cast<const char*>(test::TextLikeBytes(50000, 4).data()), 50000);
    const std::string pack = MakePack(
        dir, dir / "p.epk",
        {{"test.txt", text}, {"bin\\data.bin", std::string(binary.begin(), binary.end())}, {"empty", ""}}, GetParam());

    CRQ_File file;
    ASSERT_TRUE(file.Open(pack.c_str(), true, true, nullptr));
    ASSERT_TRUE(file.Locate("test.txt", nullptr));
    EXPECT_EQ(file.GetLength(), text.size());
    ASSERT_TRUE(file.Read(nullptr, 0));
    EXPECT_EQ(std::strlen(file.m_pData), text.size());
    EXPECT_EQ(std::string(file.m_pData), text);

    ASSERT_TRUE(file.Locate("bin\\data.bin", nullptr));
    ASSERT_EQ(file.GetLength(), binary.size());
    std::vector<uint8_t> mine(binary.size() + 1, 0xCC);
    uint8_t* buffer = mine.data();
    ASSERT_TRUE(file.Read(&buffer, 0));
    EXPECT_EQ(buffer, mine.data());
    EXPECT_TRUE(std::equal(binary.begin(), binary.end(), mine.begin()));
    EXPECT_EQ(mine.back(), 0);

    // A count reads the first bytes only.
    std::vector<uint8_t> part(11, 0xCC);
    buffer = part.data();
    ASSERT_TRUE(file.Read(&buffer, 10));
    EXPECT_TRUE(std::equal(binary.begin(), binary.begin() + 10, part.begin()));
    EXPECT_EQ(part[10], 0);

    // No buffer of the caller's: the object's own, handed out.
    uint8_t* handed = nullptr;
    ASSERT_TRUE(file.Read(&handed, 0));
    EXPECT_EQ(handed, reinterpret_cast<uint8_t*>(file.m_pData));
    EXPECT_TRUE(std::equal(binary.begin(), binary.end(), handed));
    EXPECT_EQ(handed[binary.size()], 0);

    ASSERT_TRUE(file.Locate("empty", nullptr));
    EXPECT_EQ(file.GetLength(), 0u);
    uint8_t zero[1] = {0xCC};
    buffer = zero;
    EXPECT_TRUE(file.Read(&buffer, 0));
    EXPECT_EQ(zero[0], 0);
    EXPECT_TRUE(file.Read(nullptr, 0));
    EXPECT_STREQ(file.m_pData, "");
}

INSTANTIATE_TEST_SUITE_P(Schemes, PackSchemes, ::testing::Values(0, 1, 2), SchemeLabel);

TEST(RQ_File, PathsTakeEitherSeparatorAndEitherEncodingButExactNames)
{
    TempDir dir;
    const std::string pack = MakePack(dir, dir / "p.epk",
                                      {{"info\\info.txt", "info"},
                                       {Gbk("图片\\标志.txt"), "logo"},
                                       {Gbk("图片\\乗.txt"), "trail"},  // a trail byte equal to '\'
                                       {"top.txt", "top"}});
    CRQ_File file;
    ASSERT_TRUE(file.Open(pack.c_str(), true, true, nullptr));
    const std::pair<std::string, std::string> found[] = {
        {"info\\info.txt", "info"},      {"info/info.txt", "info"},
        {"\\info\\info.txt", "info"},    {"top.txt", "top"},
        {Gbk("图片\\标志.txt"), "logo"}, {"图片/标志.txt", "logo"},
        {Gbk("图片/乗.txt"), "trail"},   {"图片\\乗.txt", "trail"},
    };
    for (const auto& [path, text] : found) EXPECT_EQ(LocateAndRead(file, path), text) << path;
    for (const char* missing : {"INFO\\info.txt", "info\\Info.txt", "info", "info.txt", "", "图片\\标志"})
        EXPECT_EQ(LocateAndRead(file, missing), "<NOT FOUND>") << missing;

    // The second argument names the folder the path starts in.
    ASSERT_TRUE(file.Locate("info.txt", "info"));
    EXPECT_EQ(ReadText(file), "info");
    ASSERT_TRUE(file.Locate("top.txt", ""));
    EXPECT_EQ(ReadText(file), "top");
}

TEST(RQ_File, AFailedLocateLeavesNothingOfTheFileBefore)
{
    TempDir dir;
    const std::string pack = MakePack(dir, dir / "p.epk", {{"test.txt", "the first file"}});
    CRQ_File file;
    file.EnableErrMSG(true);
    ASSERT_TRUE(file.Open(pack.c_str(), true, true, nullptr));
    ASSERT_EQ(LocateAndRead(file, "test.txt"), "the first file");

    StderrCapture err;
    EXPECT_FALSE(file.Locate("nothing.txt", nullptr));
    EXPECT_EQ(file.GetLength(), 0u);
    EXPECT_FALSE(file.Read(nullptr, 0));
    EXPECT_STREQ(file.m_pData, "");
    char stale[] = "stale";
    auto* buffer = reinterpret_cast<uint8_t*>(stale);
    EXPECT_FALSE(file.Read(&buffer, 0));
    EXPECT_STREQ(stale, "");
    // Told once, by Locate.
    EXPECT_EQ(err.Take(), Line(Printf(msg::kNotInPack, pack.c_str(), "nothing.txt")));
}

TEST(RQ_File, ProtectedPacksOpenOnlyWithTheirPassword)
{
    TempDir dir;
    const std::string pack = MakePack(dir, dir / "p.epk", {{"info\\info.txt", std::string(3000, 'x')}}, 2, "口令");
    for (const std::string& password : {std::string("口令"), Gbk("口令")}) {
        CRQ_File file;
        ASSERT_TRUE(file.Open(pack.c_str(), true, true, password.c_str()));
        EXPECT_EQ(LocateAndRead(file, "info\\info.txt"), std::string(3000, 'x'));
    }
    struct Refusal {
        const char* password;
        std::string messages;
    };
    const Refusal refusals[] = {
        {nullptr, Line(msg::kNoPasswordGiven) + Line(msg::kWrongPassword)},
        {"", Line(msg::kNoPasswordGiven) + Line(msg::kWrongPassword)},
        {"口令 ", Line(msg::kWrongPassword)},
    };
    for (const Refusal& r : refusals) {
        CRQ_File file;
        file.EnableErrMSG(true);
        StderrCapture err;
        EXPECT_FALSE(file.Open(pack.c_str(), true, true, r.password));
        EXPECT_FALSE(file.Locate("info\\info.txt", nullptr));
        EXPECT_EQ(file.GetLength(), 0u);
        EXPECT_EQ(err.Take(), r.messages + Line(Printf(msg::kNoPackOpen, "info\\info.txt")));
    }
}

// Some GBK bytes are valid UTF-8 too: GBK "猫" is UTF-8 "è", "路" is "·" and
// "位" is "λ". A password is tried in both readings; a path names the file
// either reading names, and nothing when they name two files.
TEST(RQ_File, TextsThatReadAsGbkAndAsUtf8)
{
    TempDir dir;
    PackDoc doc;
    for (const std::string name : {"位.txt", "λ.txt", "路.txt", "è.txt"})
        doc.AddFile(dir, Gbk(name), std::vector<uint8_t>(name.begin(), name.end()));
    const std::string pack = dir / "p.epk";
    SchemeDispatch dispatch(doc.catalogue, doc.prompt);
    ASSERT_TRUE(doc.archive.Store(pack, MakeKeySchedule(DerivePasswordBlocks(Gbk("猫"))), dispatch, doc.prompt, {}));

    struct Case {
        std::string password;
        std::string path;
        std::string read;
        std::string messages;
    };
    const Case cases[] = {
        {Gbk("猫"), Gbk("路.txt"), "路.txt", ""},  // both GBK bytes that read as UTF-8 too
        {"猫", "路.txt", "路.txt", ""},
        {"猫", "è.txt", "è.txt", ""},  // as GBK, "猫.txt": not in the pack
        {Gbk("猫"), "λ.txt", "<NOT FOUND>", Line(Printf(msg::kAmbiguousPath, pack.c_str(), "位.txt", "λ.txt"))},
        {Gbk("位"), "路.txt", "<NOT FOUND>",
         Line(msg::kWrongPassword) + Line(Printf(msg::kNoPackOpen, "路.txt"))},  // neither reading opens it
    };
    for (const Case& c : cases) {
        CRQ_File file;
        file.EnableErrMSG(true);
        StderrCapture err;
        file.Open(pack.c_str(), true, true, c.password.c_str());
        EXPECT_EQ(LocateAndRead(file, c.path), c.read) << c.path;
        EXPECT_EQ(err.Take(), c.messages) << c.path;
    }
}

// A Read that fails leaves nothing selected, whatever had been found.
TEST(RQ_File, AFailedReadLeavesALengthOf0)
{
    TempDir dir;
    const std::string pack = dir / "p.epk";
    const std::string plain = dir / "plain.txt";
    const std::string packedFailed = Printf(msg::kReadFailed, "a.txt") + kFileEndedEarly;
    struct Case {
        const char* what;
        std::function<bool(CRQ_File&)> select;
        std::string cutShort;  // after the file was selected
        bool intoCallersBuffer;
        std::string message;
    };
    const Case cases[] = {
        {"a plain file", [&](CRQ_File& f) { return f.Open(plain.c_str(), true, false, nullptr); }, plain, false,
         Printf(msg::kReadFailed, plain.c_str()) + kFileEndedEarly},
        {"a packed file",
         [&](CRQ_File& f) { return f.Open(pack.c_str(), true, true, nullptr) && f.Locate("a.txt", nullptr); }, pack,
         true, packedFailed},
    };
    for (const Case& c : cases) {
        dir.Write("plain.txt", std::string(100, 'p'));
        MakePack(dir, pack, {{"a.txt", std::string(100, 'a')}});
        CRQ_File file;
        file.EnableErrMSG(true);
        ASSERT_TRUE(c.select(file)) << c.what;
        ASSERT_EQ(file.GetLength(), 100u) << c.what;
        ASSERT_EQ(::truncate(c.cutShort.c_str(), 10), 0) << c.what;
        StderrCapture err;
        std::vector<uint8_t> mine(101);
        uint8_t* buffer = mine.data();
        EXPECT_FALSE(file.Read(c.intoCallersBuffer ? &buffer : nullptr, 0)) << c.what;
        EXPECT_EQ(file.GetLength(), 0u) << c.what;
        EXPECT_STREQ(file.m_pData, "") << c.what;
        EXPECT_FALSE(file.Read(nullptr, 0)) << c.what;
        EXPECT_EQ(err.Take(), Line(c.message)) << c.what;
    }
}

TEST(RQ_File, DamagedPacksAreReportedNeverCrash)
{
    TempDir dir;
    const std::vector<uint8_t> good = TinyPack("a", "x.txt", "abc");
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        bool opens;
        bool locates;
        std::string messages;
    };
    std::vector<Case> cases;
    cases.push_back({"intact", good, true, true, ""});
    cases.push_back({"not a pack", {'h', 'e', 'l', 'l', 'o'}, false, false, Line(msg::kNotAPack)});
    for (size_t cut : {size_t{16}, size_t{20}, good.size() - 1}) {
        std::vector<uint8_t> shortened(good.begin(), good.begin() + static_cast<long>(cut));
        cases.push_back({"truncated", shortened, false, false, Line(msg::kDamaged)});
    }
    std::vector<uint8_t> outside = good;
    outside[31] = 0xE8;  // data offset 1000, past the end
    outside[32] = 0x03;
    cases.push_back({"data outside", outside, true, false, Line(Printf(msg::kDataOutsidePack, "a\\x.txt"))});
    std::vector<uint8_t> bigger = good;
    bigger[39] = 0x20;  // 32 stored bytes from offset 22 pass the end too
    cases.push_back({"stored size past the end", bigger, true, false, Line(Printf(msg::kDataOutsidePack, "a\\x.txt"))});

    for (const Case& c : cases) {
        const std::string pack = dir.Write("case.epk", c.bytes);
        CRQ_File file;
        file.EnableErrMSG(true);
        StderrCapture err;
        EXPECT_EQ(file.Open(pack.c_str(), true, true, nullptr), c.opens) << c.what;
        EXPECT_EQ(file.Locate("a\\x.txt", nullptr), c.locates) << c.what;
        if (c.locates) {
            EXPECT_EQ(ReadText(file), "abc");
        }
        const std::string printed = err.Take();
        if (c.opens) {
            EXPECT_EQ(printed, c.messages) << c.what;
        } else {
            EXPECT_EQ(printed.rfind(c.messages, 0), 0u) << c.what << ": " << printed;
        }
        if (!c.locates) {
            EXPECT_EQ(file.GetLength(), 0u) << c.what;
        }
    }

    // A stream that does not decode: refused where it is found.
    CRQ_File file;
    file.EnableErrMSG(true);
    StderrCapture err;
    ASSERT_TRUE(file.Open(dir.Write("lz.epk", TinyPack("a", "x.txt", "abc", 2)).c_str(), true, true, nullptr));
    EXPECT_FALSE(file.Locate("a\\x.txt", nullptr));
    EXPECT_EQ(file.GetLength(), 0u);
    EXPECT_EQ(ReadText(file), "<FAILED:>");
    EXPECT_EQ(err.Take(), Line(Printf(msg::kDecodeFailedBuiltin, "ZIV", "x.txt")));
}

// What Locate cannot back with a decoder and the stored bytes is refused
// there: GetLength stays 0, so no caller allocates for a size from a damaged
// record. The other files of the pack read as ever.
TEST(RQ_File, LocateRefusesFilesThatCannotBeDecodedToTheSizeTheyClaim)
{
    using test::LaidOutFile;
    TempDir dir;
    const LaidOutFile good{"good.txt", 0, "fine"};
    const uint32_t absurd = 0xFFFFFFF0u;
    const test::LaidOutModule gone{"Gone", "gone.edl"};
    const test::LaidOutModule deflate{"Deflate", "deflate.edl"};  // beside the test program
    const std::string lzStream = LzStream(std::string(1000, 'x'));
    struct Case {
        const char* what;
        test::LaidOutModule module;
        LaidOutFile file;
        std::string message;
    };
    const Case cases[] = {
        {"a scheme no decoder has", gone, {"f.bin", 0, "abc", 0x05, absurd}, Printf(msg::kUnknownScheme, "f.bin")},
        {"a plug-in slot the table lacks", gone, {"f.bin", 0, "abc", 0x81, absurd},
         "没有找到合适的扩展解码模块，无法解压缩：f.bin"},
        {"a module that is not there", gone, {"f.bin", 0, "abc", 0x80, absurd}, "没有找到扩展解码模块：gone.edl"},
        {"a module whose stream does not give the size", deflate, {"f.bin", 0, "not deflate", 0x80, 64u << 20},
         Printf(msg::kDecodeFailedBuiltin, "deflate.edl", "f.bin")},
        {"RLE beyond its largest expansion", gone, {"f.bin", 0, std::string("\x03\0\0\0\x83\x61", 6), 1, absurd},
         Printf(msg::kDecodeFailedBuiltin, "RLE", "f.bin")},
        {"LZ beyond its largest expansion", gone, {"f.bin", 0, "abc", 2, 1u << 30},
         Printf(msg::kDecodeFailedBuiltin, "ZIV", "f.bin")},
        {"an LZ stream that gives less than its record", gone, {"f.bin", 0, lzStream, 2, 1001},
         Printf(msg::kDecodeFailedBuiltin, "ZIV", "f.bin")},
        {"RLE packets that give less than their header", gone,
         {"f.bin", 0, std::string("\x07\0\0\0\x83\x61", 6), 1, 7}, Printf(msg::kDecodeFailedBuiltin, "RLE", "f.bin")},
        {"stored as it is, with another size", gone, {"f.bin", 0, "abc", 0, 4},
         Printf(msg::kDecodeFailedBuiltin, "不编码", "f.bin")},
    };
    for (const Case& c : cases) {
        const test::PackLayout layout{{c.module}, {}, {c.file, good}};
        const std::string pack = dir.Write("p.epk", layout.Bytes());
        CRQ_File file;
        file.EnableErrMSG(true);
        ASSERT_TRUE(file.Open(pack.c_str(), true, true, nullptr)) << c.what;
        StderrCapture err;
        EXPECT_FALSE(file.Locate("f.bin", nullptr)) << c.what;
        EXPECT_EQ(file.GetLength(), 0u) << c.what;
        EXPECT_EQ(ReadText(file), "<FAILED:>") << c.what;
        EXPECT_EQ(err.Take(), Line(c.message)) << c.what;
        EXPECT_EQ(LocateAndRead(file, "good.txt"), "fine") << c.what;
    }

    // A plug-in file whose stream gives its size reads as any other.
    PackDoc doc;
    const ModuleInfo info = doc.plugins.Inspect("deflate.edl");
    ASSERT_EQ(info.verdict, ModuleVerdict::Accepted);
    const std::string text(100000, 'd');
    doc.AddFile(dir, "d.txt", std::vector<uint8_t>(text.begin(), text.end()),
                doc.catalogue.AddPlugin(info.moduleFile, info.providerName, info.version).value());
    ASSERT_TRUE(doc.Save(dir / "d.epk")) << ::testing::PrintToString(doc.prompt.Texts());
    CRQ_File file;
    ASSERT_TRUE(file.Open((dir / "d.epk").c_str(), true, true, nullptr));
    EXPECT_EQ(LocateAndRead(file, "d.txt"), text);
    EXPECT_EQ(ReadText(file), text);
}

TEST(RQ_File, AFileWhoseFolderIsGoneIsFoundInThePlaceholderFolder)
{
    TempDir dir;
    const test::PackLayout layout{{}, {{"a", 1, 1}}, {{"x.txt", 1, "abc"}, {"lost.txt", 7, "lost"}}};
    CRQ_File file;
    ASSERT_TRUE(file.Open(dir.Write("d.epk", layout.Bytes()).c_str(), true, true, nullptr));
    EXPECT_EQ(LocateAndRead(file, "a\\x.txt"), "abc");
    EXPECT_EQ(LocateAndRead(file, std::string(msg::kOrphanFolderName) + "\\lost.txt"), "lost");
}

TEST(RQ_File, EveryByteOfAPackChangedNeverCrashesALookup)
{
    TempDir dir;
    for (uint8_t scheme : {uint8_t{1}, uint8_t{2}}) {
        // A real encoded stream, so that changes reach the decoders too.
        const std::vector<uint8_t> original =
            ReadFileBytes(MakePack(dir, dir / "p.epk", {{"a\\x.txt", std::string(40, 'r') + "tail"}}, scheme));
        for (size_t i = 0; i < original.size(); ++i) {
            for (uint8_t value : {uint8_t{0x00}, uint8_t{0xFF}}) {
                std::vector<uint8_t> bytes = original;
                bytes[i] = value;
                const std::string pack = dir.Write("m.epk", bytes);
                CRQ_File file;
                if (!file.Open(pack.c_str(), true, true, nullptr)) continue;
                if (file.Locate("a\\x.txt", nullptr) && file.Read(nullptr, 0)) {
                    EXPECT_EQ(file.m_pData[file.GetLength()], '\0') << i;
                } else {
                    EXPECT_STREQ(file.m_pData, "") << i;
                }
            }
        }
    }
}

TEST(RQ_File, LooseFilesOverridePackedOnesWhileExternalLookupIsOn)
{
    TempDir dir;
    dir.MakeDir("game");
    const std::string pack =
        MakePack(dir, dir / "game/test.epk",
                 {{"test.txt", "packed"}, {"info\\info.txt", "packed info"}, {Gbk("图片\\乗.txt"), "packed logo"}});
    dir.Write("game/test.txt", std::string("beside the pack"));
    dir.Write("ext/info/info.txt", std::string("ext info"));
    dir.Write("ext/new.txt", std::string("only loose"));
    dir.Write("ext/图片/乗.txt", std::string("ext logo"));
    dir.MakeDir("ext/test.txt");  // a folder is no loose file

    CRQ_File file;
    ASSERT_TRUE(file.Open(pack.c_str(), true, true, nullptr));
    EXPECT_EQ(LocateAndRead(file, "test.txt"), "packed");
    EXPECT_EQ(LocateAndRead(file, "new.txt"), "<NOT FOUND>");

    file.EnableExt(true);  // the default: the folder that holds the pack
    EXPECT_EQ(LocateAndRead(file, "test.txt"), "beside the pack");
    EXPECT_EQ(LocateAndRead(file, "info\\info.txt"), "packed info");

    file.SetExt((dir / "ext").c_str());
    EXPECT_EQ(LocateAndRead(file, "test.txt"), "packed");
    EXPECT_EQ(LocateAndRead(file, "info\\info.txt"), "ext info");
    EXPECT_EQ(LocateAndRead(file, "info/info.txt"), "ext info");
    EXPECT_EQ(LocateAndRead(file, "new.txt"), "only loose");
    EXPECT_EQ(file.GetLength(), 10u);
    EXPECT_EQ(LocateAndRead(file, Gbk("图片\\乗.txt")), "ext logo");
    EXPECT_EQ(LocateAndRead(file, "图片/乗.txt"), "ext logo");

    // Both settings outlive a new Open.
    ASSERT_TRUE(file.Open(pack.c_str(), true, true, nullptr));
    EXPECT_EQ(LocateAndRead(file, "info\\info.txt"), "ext info");
    file.SetExt(nullptr);
    EXPECT_EQ(LocateAndRead(file, "test.txt"), "beside the pack");
    file.EnableExt(false);
    EXPECT_EQ(LocateAndRead(file, "test.txt"), "packed");
}

TEST(RQ_File, ExternalLookupNeverLeavesTheExternalFolder)
{
    TempDir dir;
    // A folder named ".." inside the pack is found by its exact name.
    const std::string pack = dir.Write("game/hostile.epk", TinyPack("..", "x.txt", "packed"));
    dir.Write("x.txt", std::string("outside"));
    dir.Write("secret.txt", std::string("secret"));
    dir.MakeDir("game/ext");

    CRQ_File file;
    file.EnableErrMSG(true);
    file.EnableExt(true);
    file.SetExt((dir / "game/ext").c_str());
    ASSERT_TRUE(file.Open(pack.c_str(), true, true, nullptr));
    StderrCapture err;
    EXPECT_EQ(LocateAndRead(file, "..\\..\\x.txt"), "<NOT FOUND>");
    EXPECT_EQ(LocateAndRead(file, "..\\x.txt"), "packed");
    EXPECT_EQ(LocateAndRead(file, "../../secret.txt"), "<NOT FOUND>");
    EXPECT_EQ(LocateAndRead(file, dir / "secret.txt"), "<NOT FOUND>");
    const std::string printed = err.Take();
    EXPECT_NE(printed.find(Printf(msg::kUnsafeExternalPath, "..\\x.txt")), std::string::npos) << printed;
    EXPECT_NE(printed.find(Printf(msg::kUnsafeExternalPath, (dir / "secret.txt").c_str())), std::string::npos);
    EXPECT_EQ(printed.find("secret\n"), std::string::npos);
}

TEST(RQ_File, ASecondOpenStartsAfresh)
{
    TempDir dir;
    const std::string a = MakePack(dir, dir / "a.epk", {{"a.txt", "from a"}});
    const std::string b = MakePack(dir, dir / "b.epk", {{"b.txt", "from b"}});
    CRQ_File file;
    ASSERT_TRUE(file.Open(a.c_str(), true, true, nullptr));
    ASSERT_EQ(LocateAndRead(file, "a.txt"), "from a");

    ASSERT_TRUE(file.Open(b.c_str(), true, true, nullptr));
    EXPECT_EQ(file.GetLength(), 0u);
    EXPECT_STREQ(file.m_pData, "");
    EXPECT_FALSE(file.Read(nullptr, 0));
    EXPECT_EQ(LocateAndRead(file, "a.txt"), "<NOT FOUND>");
    EXPECT_EQ(LocateAndRead(file, "b.txt"), "from b");

    // A failed Open leaves nothing open.
    EXPECT_FALSE(file.Open((dir / "none.epk").c_str(), true, true, nullptr));
    EXPECT_EQ(LocateAndRead(file, "b.txt"), "<NOT FOUND>");

    // A plain file written, then read through the same object.
    ASSERT_TRUE(file.Open((dir / "save.dat").c_str(), false, false, nullptr));
    ASSERT_TRUE(file.Write("saved", 5));
    ASSERT_TRUE(file.Open((dir / "save.dat").c_str(), true, false, nullptr));
    EXPECT_EQ(ReadText(file), "saved");
    ASSERT_TRUE(file.Open(a.c_str(), true, true, nullptr));
    EXPECT_EQ(LocateAndRead(file, "a.txt"), "from a");
}

TEST(RQ_File, PlainFilesAreReadWholeAndReplacedOnlyWhenComplete)
{
    TempDir dir;
    const std::string binary("a\0b\0c", 5);
    dir.Write("data.bin", binary);
    dir.Write("empty.txt", std::string());
    {
        CRQ_File file;
        ASSERT_TRUE(file.Open((dir / "data.bin").c_str(), true, false, nullptr));
        EXPECT_EQ(file.GetLength(), 5u);
        ASSERT_TRUE(file.Read(nullptr, 0));
        EXPECT_EQ(std::string(file.m_pData, 6), binary + '\0');
        uint8_t two[3] = {0xCC, 0xCC, 0xCC};
        uint8_t* buffer = two;
        ASSERT_TRUE(file.Read(&buffer, 2));
        EXPECT_EQ(std::string(reinterpret_cast<char*>(two), 3), std::string("a\0\0", 3));

        ASSERT_TRUE(file.Open((dir / "empty.txt").c_str(), true, false, nullptr));
        EXPECT_EQ(file.GetLength(), 0u);
        EXPECT_EQ(ReadText(file), "");
    }

    const std::string save = dir.Write("save.txt", std::string("old save"));
    {
        CRQ_File file;
        ASSERT_TRUE(file.Open(save.c_str(), false, false, nullptr));
        ASSERT_TRUE(file.Write("new ", 4));
        ASSERT_TRUE(file.Write("save", 4));
        ASSERT_TRUE(file.Write(nullptr, 0));
        EXPECT_EQ(file.GetLength(), 8u);
        EXPECT_EQ(ReadFileBytes(save), std::vector<uint8_t>({'o', 'l', 'd', ' ', 's', 'a', 'v', 'e'}));
    }
    EXPECT_EQ(ReadFileBytes(save), std::vector<uint8_t>({'n', 'e', 'w', ' ', 's', 'a', 'v', 'e'}));
    for (const std::string& name : dir.List()) EXPECT_EQ(name.rfind(".tarvex-", 0), std::string::npos) << name;
}

TEST(RQ_File, MisuseIsRefusedWithAMessageOnlyWhenAsked)
{
    TempDir dir;
    const std::string pack = MakePack(dir, dir / "p.epk", {{"a.txt", "a"}});
    const std::string plain = dir.Write("plain.txt", std::string("plain"));
    dir.MakeDir("folder");
    const std::string folder = dir / "folder";
    const std::string pipe = dir / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);  // opening it would wait for a writer

    struct Case {
        const char* what;
        std::function<bool(CRQ_File&)> act;
        std::string message;
        uint32_t length = 0;  // of what stays selected
    };
    const Case cases[] = {
        {"no name", [](CRQ_File& f) { return f.Open(nullptr, true, true, nullptr); }, msg::kNoFileName},
        {"empty name", [](CRQ_File& f) { return f.Open("", true, false, nullptr); }, msg::kNoFileName},
        {"pack for writing", [&](CRQ_File& f) { return f.Open(pack.c_str(), false, true, nullptr); },
         Printf(msg::kPackReadOnly, pack.c_str())},
        {"missing plain file", [&](CRQ_File& f) { return f.Open((dir / "no.txt").c_str(), true, false, nullptr); },
         Printf(msg::kCannotOpenFile, (dir / "no.txt").c_str(), SystemErrorText(ENOENT).c_str())},
        {"folder for reading", [&](CRQ_File& f) { return f.Open(folder.c_str(), true, false, nullptr); },
         Printf(msg::kCannotOpenFile, folder.c_str(), SystemErrorText(EISDIR).c_str())},
        {"folder for writing", [&](CRQ_File& f) { return f.Open(folder.c_str(), false, false, nullptr); },
         Printf(msg::kCannotWriteTarget, folder.c_str(), SystemErrorText(EISDIR).c_str())},
        {"device for reading", [](CRQ_File& f) { return f.Open("/dev/null", true, false, nullptr); },
         Printf(msg::kCannotOpenFile, "/dev/null", NotRegularFileText(FileKind::Device))},
        {"pipe as a pack", [&](CRQ_File& f) { return f.Open(pipe.c_str(), true, true, nullptr); },
         Printf(msg::kCannotOpenFile, pipe.c_str(), NotRegularFileText(FileKind::Pipe))},
        {"folder as a pack", [&](CRQ_File& f) { return f.Open(folder.c_str(), true, true, nullptr); },
         Printf(msg::kCannotOpenFile, folder.c_str(), SystemErrorText(EISDIR).c_str())},
        {"write without a file", [](CRQ_File& f) { return f.Write("x", 1); }, msg::kNotOpenForWriting},
        {"write from nowhere",
         [&](CRQ_File& f) { return f.Open((dir / "w.txt").c_str(), false, false, nullptr) && f.Write(nullptr, 4); },
         msg::kNoDataToWrite},
        {"write to a read file",
         [&](CRQ_File& f) { return f.Open(plain.c_str(), true, false, nullptr) && f.Write("x", 1); },
         msg::kNotOpenForWriting, 5},
        {"read a written file",
         [&](CRQ_File& f) { return f.Open((dir / "w.txt").c_str(), false, false, nullptr) && f.Read(nullptr, 0); },
         Printf(msg::kOpenedForWriting, (dir / "w.txt").c_str())},
        {"read with nothing located",
         [&](CRQ_File& f) { return f.Open(pack.c_str(), true, true, nullptr) && f.Read(nullptr, 0); },
         msg::kNothingToRead},
        {"locate in a plain file",
         [&](CRQ_File& f) { return f.Open(plain.c_str(), true, false, nullptr) && f.Locate("a.txt", nullptr); },
         Printf(msg::kNoPackOpen, "a.txt")},
    };
    for (const Case& c : cases) {
        for (bool shown : {false, true}) {
            CRQ_File file;
            file.EnableErrMSG(shown);
            StderrCapture err;
            EXPECT_FALSE(c.act(file)) << c.what;
            EXPECT_EQ(err.Take(), shown ? Line(c.message) : "") << c.what;
            EXPECT_EQ(file.GetLength(), c.length) << c.what;
            EXPECT_STREQ(file.m_pData, "") << c.what;
        }
    }
    EXPECT_EQ(dir.List("folder"), std::vector<std::string>{});
}

}  // namespace
}  // namespace tarvex
