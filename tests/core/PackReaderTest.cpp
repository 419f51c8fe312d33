// The reader on odd, damaged and hostile files: a message and a refusal,
// never a crash, a hang or an absurd allocation.
#include <gtest/gtest.h>

#include "base/GbkText.h"
#include "pack/PackReader.h"
#include "talk/Messages.h"
#include "tests/support/PackFixture.h"
#include "tests/support/PackLayout.h"

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

std::string Gbk(const std::string& utf8)
{
    return Utf8ToGbk(utf8).value();
}

std::vector<uint8_t> Bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

// One bad record must not hide the rest: entries without a folder and folders
// listed twice open with every file readable, and a save keeps them all; a
// loop is still refused.
TEST(PackReader, DamagedTablesOpenWithEveryGoodFileUnlessTheyLoop)
{
    using test::LaidOutFile;
    using test::PackLayout;
    struct Case {
        const char* what;
        PackLayout layout;
        std::map<std::string, uint16_t> folders;      // GBK paths; none: refused
        std::map<std::string, std::string> contents;  // GBK paths
        std::vector<std::string> texts;
        std::vector<size_t> orphans;
        std::vector<uint16_t> repeated;
    };
    const std::string orphanFolder = Gbk(msg::kOrphanFolderName);
    const LaidOutFile top{"top.txt", 0, "top"};
    const Case cases[] = {
        {"entry in folder 7 of 1",
         {{}, {{"a", 1, 1}}, {{"x.txt", 1, "abc"}, {"lost.txt", 7, "lost"}, top}},
         {{"a", 1}, {orphanFolder, 2}},
         {{"a\\x.txt", "abc"}, {orphanFolder + "\\lost.txt", "lost"}, {"top.txt", "top"}},
         {Printf(msg::kOrphanEntries, size_t{1}, msg::kOrphanFolderName)},
         {1},
         {}},
        {"entry in a folder record no range reaches",
         {{}, {{"a", 1, 1}, {"away", 2, 2}}, {{"x.txt", 1, "abc"}, {"lost.txt", 2, "lost"}}},
         {{"a", 1}, {orphanFolder, 3}},
         {{"a\\x.txt", "abc"}, {orphanFolder + "\\lost.txt", "lost"}},
         {Printf(msg::kOrphanEntries, size_t{1}, msg::kOrphanFolderName)},
         {1},
         {}},
        {"a folder of the pack already has the placeholder's name",
         {{}, {{orphanFolder, 1, 1}}, {{"own.txt", 1, "own"}, {"lost.txt", 9, "lost"}}},
         {{orphanFolder, 1}, {orphanFolder + "2", 2}},
         {{orphanFolder + "\\own.txt", "own"}, {orphanFolder + "2\\lost.txt", "lost"}},
         {Printf(msg::kOrphanEntries, size_t{1}, (std::string(msg::kOrphanFolderName) + "2").c_str())},
         {1},
         {}},
        {"the high byte of a folder ID is not read",
         {{}, {{"a", 1, 1}}, {{"x.txt", 0x0701, "abc"}}},
         {{"a", 1}},
         {{"a\\x.txt", "abc"}},
         {},
         {},
         {}},
        {"C listed by A and by B",
         {{}, {{"A", 2, 3}, {"B", 2, 3}, {"C", 3, 3}}, {{"c.txt", 3, "in C"}, {"b.txt", 2, "in B"}, top}},
         {{"A", 1}, {"B", 2}, {"A\\C", 3}},
         {{"A\\C\\c.txt", "in C"}, {"B\\b.txt", "in B"}, {"top.txt", "top"}},
         {Printf(msg::kRepeatedFolder, "A\\C")},
         {},
         {3}},
        {"A holds B, B holds A",
         {{}, {{"A", 1, 2}, {"B", 0, 1}}, {{"b.txt", 2, "in B"}, top}},
         {},
         {},
         {msg::kDamaged},
         {},
         {}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        PackDoc doc;
        const bool opens = doc.Open(dir.Write("d.epk", c.layout.Bytes()));
        EXPECT_EQ(doc.prompt.Texts(), c.texts) << c.what;
        ASSERT_EQ(opens, !c.folders.empty()) << c.what;
        if (!opens) continue;
        EXPECT_EQ(doc.archive.Repairs().orphanEntries, c.orphans) << c.what;
        EXPECT_EQ(doc.archive.Repairs().repeatedFolderIds, c.repeated) << c.what;
        std::map<std::string, std::vector<uint8_t>> contents;
        for (const auto& [path, text] : c.contents) contents[path] = Bytes(text);
        EXPECT_EQ(doc.Folders(), c.folders) << c.what;
        EXPECT_EQ(doc.Contents(), contents) << c.what;

        // Saved, the mended tree is the pack's own: nothing lost, nothing to tell.
        ASSERT_TRUE(doc.Save(dir / "saved.epk")) << c.what;
        PackDoc saved;
        ASSERT_TRUE(saved.Open(dir / "saved.epk")) << c.what;
        EXPECT_FALSE(saved.archive.Repairs().Any()) << c.what;
        EXPECT_EQ(saved.Contents(), contents) << c.what;
        EXPECT_EQ(saved.prompt.Texts(), std::vector<std::string>{}) << c.what;
    }
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
    bytes.resize(40);
    EXPECT_FALSE(doc.Open(dir.Write("bad.epk", bytes)));
    EXPECT_FALSE(doc.archive.IsLoaded());
    EXPECT_EQ(doc.catalogue.Entries().size(), 1u);
    EXPECT_EQ(doc.archive.Path(), dir / "s.epk");
}

}  // namespace
}  // namespace tarvex
