// The reader on odd, damaged and hostile files: a message and a refusal,
// never a crash, a hang or an absurd allocation.
#include <gtest/gtest.h>

#include "archive/Messages.h"
#include "tests/support/PackFixture.h"

namespace tarvex {
namespace {

using test::PackDoc;
using test::TempDir;

// The 46-byte pack: folder "a" holding x.txt = "abc".
std::vector<uint8_t> SmallPack()
{
    return {'Z', 'V', 'P', 'K', 1, 0, 1, 0, 1, 0, 0, 0, 0x15, 0, 0, 0, 1, 'a', 1, 0, 1, 0, 'a', 'b', 'c',
            5, 'x', '.', 't', 'x', 't', 0x16, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0};
}

struct OpenResult {
    bool ok;
    std::vector<std::string> texts;
};

OpenResult OpenBytes(const std::vector<uint8_t>& bytes, const std::string& name = "x.epk")
{
    TempDir dir;
    PackDoc doc;
    const bool ok = doc.Open(dir.Write(name, bytes));
    return {ok, doc.prompt.Texts()};
}

TEST(PackReader, SixteenByteHeaderIsAnEmptyPackTitledAfterTheFile)
{
    TempDir dir;
    PackDoc doc;
    ASSERT_TRUE(doc.Open(dir.Write("game.data.epk", std::vector<uint8_t>{'Z', 'V', 'P', 'K', 1, 0, 0, 0, 0, 0, 0, 0,
                                                                         0, 0, 0, 0})));
    EXPECT_EQ(doc.archive.Title(), "game.data");
    EXPECT_EQ(doc.catalogue.Root().name, "game.data");
    EXPECT_TRUE(doc.catalogue.Entries().empty());
    EXPECT_EQ(doc.catalogue.FolderCount(), 0u);
}

TEST(PackReader, EntriesComeBackCarriedOver)
{
    TempDir dir;
    PackDoc doc;
    ASSERT_TRUE(doc.Open(dir.Write("s.epk", SmallPack())));
    ASSERT_EQ(doc.catalogue.Entries().size(), 1u);
    const FileEntry& e = doc.catalogue.Entries()[0];
    EXPECT_TRUE(e.IsCarriedOver());
    EXPECT_EQ(e.name, "x.txt");
    EXPECT_EQ(e.folderId, 1u);
    EXPECT_EQ(PackedSourceText(e.name), "<包内文件> x.txt");
    EXPECT_EQ(doc.Contents().at("a\\x.txt"), (std::vector<uint8_t>{'a', 'b', 'c'}));
}

TEST(PackReader, NewerVersionWarnsThenOpens)
{
    auto bytes = SmallPack();
    bytes[4] = 2;
    const OpenResult r = OpenBytes(bytes);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.texts, std::vector<std::string>{msg::kNewerVersion});
}

TEST(PackReader, RefusesFilesThatAreNotPacks)
{
    EXPECT_EQ(OpenBytes({'h', 'e', 'l', 'l', 'o'}).texts, std::vector<std::string>{msg::kNotAPack});
    EXPECT_EQ(OpenBytes({}).texts, std::vector<std::string>{msg::kNotAPack});
    auto bytes = SmallPack();
    bytes[0] = 'X';
    EXPECT_EQ(OpenBytes(bytes).texts, std::vector<std::string>{msg::kNotAPack});

    // Bit 7 of the flags asks for the password before the magic is looked at.
    TempDir dir;
    PackDoc doc;
    bytes[5] = 0x80;
    EXPECT_FALSE(doc.Open(dir.Write("x.epk", bytes)));
    EXPECT_EQ(doc.prompt.passwordQuestions, 1);
    EXPECT_EQ(doc.prompt.Texts(), std::vector<std::string>{msg::kNotAPack});
}

TEST(PackReader, TruncationAtEveryOffsetIsRefusedWithAMessage)
{
    TempDir dir;
    PackDoc source;
    source.AddFile(dir, "d\\e\\f.txt", test::TextLikeBytes(100, 1), 2);
    source.AddFile(dir, "g.bin", test::RandomBytes(50, 2));
    for (const char* password : {"", "pw"}) {
        ASSERT_TRUE(source.Save(dir / "full.epk", password));
        const auto full = test::ReadFileBytes(dir / "full.epk");
        for (size_t length = 0; length < full.size(); ++length) {
            TempDir cut;
            PackDoc doc;
            const bool ok = doc.Open(cut.Write("cut.epk", std::vector<uint8_t>(full.begin(), full.begin() + length)),
                                     password);
            if (ok) {
                doc.Contents();  // whatever it found must be safe to read
            } else {
                EXPECT_EQ(doc.prompt.messages.size(), 1u) << length;
            }
        }
    }
}

TEST(PackReader, RandomBytesBehindAValidMagicNeverCrash)
{
    for (uint32_t seed = 0; seed < 300; ++seed) {
        auto bytes = test::RandomBytes(16 + seed % 200, seed);
        bytes[0] = 'Z';
        bytes[1] = 'V';
        bytes[2] = 'P';
        bytes[3] = 'K';
        if (seed % 2) bytes[5] &= 0x7F;  // half of them unprotected
        TempDir dir;
        PackDoc doc;
        doc.prompt.passwords.push_back(DerivePasswordBlocks("pw"));
        if (doc.Open(dir.Write("r.epk", bytes))) doc.Contents();
    }
}

TEST(PackReader, RefusesFolderTablesThatLoopOrLeaveTheTable)
{
    // root -> a -> b, and b names itself as its child.
    const std::vector<uint8_t> loop = {'Z', 'V', 'P', 'K', 1, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                       1, 'a', 1, 0, 2, 0, 1, 'b', 1, 0, 2, 0};
    EXPECT_EQ(OpenBytes(loop).texts, std::vector<std::string>{msg::kDamaged});
    // The root's range reaches past the two records.
    const std::vector<uint8_t> past = {'Z', 'V', 'P', 'K', 1, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                       1, 'a', 9, 0, 9, 0, 1, 'b', 9, 0, 9, 0};
    EXPECT_EQ(OpenBytes(past).texts, std::vector<std::string>{msg::kDamaged});
    // A chain 0 -> 1 -> 0.
    const std::vector<uint8_t> cycle = {'Z', 'V', 'P', 'K', 1, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                        1, 'a', 1, 0, 2, 0, 1, 'b', 0, 0, 1, 0};
    EXPECT_EQ(OpenBytes(cycle).texts, std::vector<std::string>{msg::kDamaged});
}

TEST(PackReader, RefusesCountsTheFileCannotHold)
{
    auto bytes = SmallPack();
    bytes[8] = bytes[9] = bytes[10] = bytes[11] = 0xFF;  // 4 billion files in a 46-byte file
    EXPECT_EQ(OpenBytes(bytes).texts, std::vector<std::string>{msg::kDamaged});
    bytes = SmallPack();
    bytes[12] = bytes[13] = bytes[14] = bytes[15] = 0xFF;  // an entry table larger than the file
    EXPECT_EQ(OpenBytes(bytes).texts, std::vector<std::string>{msg::kDamaged});
    bytes = SmallPack();
    bytes[6] = 0xFF;  // 255 folders
    EXPECT_EQ(OpenBytes(bytes).texts, std::vector<std::string>{msg::kDamaged});
}

TEST(PackReader, RefusesAnEntryInAFolderThatDoesNotExist)
{
    auto bytes = SmallPack();
    bytes[43] = 7;  // folder ID of x.txt
    EXPECT_EQ(OpenBytes(bytes).texts, std::vector<std::string>{msg::kDamaged});
    bytes[43] = 1;
    bytes[44] = 7;  // the high byte of a folder ID is not read
    EXPECT_TRUE(OpenBytes(bytes).ok);
}

TEST(PackReader, DataOutsideTheFileFailsOnlyWhenExtracted)
{
    auto bytes = SmallPack();
    bytes[31] = 0xE8;  // data offset 1000
    bytes[32] = 0x03;
    TempDir dir;
    PackDoc doc;
    ASSERT_TRUE(doc.Open(dir.Write("o.epk", bytes)));
    EXPECT_EQ(doc.Contents().at("a\\x.txt"), (std::vector<uint8_t>{'<', 'F', 'A', 'I', 'L', '>'}));
    EXPECT_EQ(doc.prompt.Texts(), std::vector<std::string>{Printf(msg::kDataOutsidePack, "x.txt")});
}

TEST(PackReader, AStoredStreamThatDoesNotDecodeIsReported)
{
    auto bytes = SmallPack();
    bytes[45] = 2;  // "abc" read as an LZ stream
    TempDir dir;
    PackDoc doc;
    ASSERT_TRUE(doc.Open(dir.Write("z.epk", bytes)));
    EXPECT_EQ(doc.Contents().at("a\\x.txt"), (std::vector<uint8_t>{'<', 'F', 'A', 'I', 'L', '>'}));
    EXPECT_EQ(doc.prompt.Texts(), std::vector<std::string>{Printf(msg::kDecodeFailedBuiltin, "ZIV", "x.txt")});
}

TEST(PackReader, AFailedReadLeavesTheCatalogueAsItWas)
{
    TempDir dir;
    PackDoc doc;
    ASSERT_TRUE(doc.Open(dir.Write("s.epk", SmallPack())));
    auto bytes = SmallPack();
    bytes[43] = 7;
    EXPECT_FALSE(doc.Open(dir.Write("bad.epk", bytes)));
    EXPECT_FALSE(doc.archive.IsLoaded());
    EXPECT_EQ(doc.catalogue.Entries().size(), 1u);
    EXPECT_EQ(doc.archive.Path(), dir / "s.epk");
}

}  // namespace
}  // namespace tarvex
