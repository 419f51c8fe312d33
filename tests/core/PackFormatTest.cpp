// The pack layout byte for byte, the folder numbering and the scramblers.
#include <gtest/gtest.h>

#include "format/Scrambler.h"
#include "pack/FolderTable.h"
#include "tests/support/PackFixture.h"

namespace tarvex {
namespace {

using test::PackDoc;
using test::ReadFileBytes;
using test::TempDir;

std::vector<uint8_t> Bytes(std::initializer_list<int> values)
{
    std::vector<uint8_t> out;
    for (int v : values) out.push_back(static_cast<uint8_t>(v));
    return out;
}

TEST(PackFormat, EmptyCatalogueIsTheSixteenByteHeader)
{
    TempDir dir;
    PackDoc doc;
    ASSERT_TRUE(doc.Save(dir / "empty.epk"));
    EXPECT_EQ(ReadFileBytes(dir / "empty.epk"),
              Bytes({'Z', 'V', 'P', 'K', 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(PackFormat, OneFolderOneFileIsFortySixBytes)
{
    TempDir dir;
    PackDoc doc;
    doc.AddFile(dir, "a\\x.txt", {'a', 'b', 'c'});
    ASSERT_TRUE(doc.Save(dir / "one.epk"));
    const auto bytes = ReadFileBytes(dir / "one.epk");
    EXPECT_EQ(bytes, Bytes({'Z', 'V', 'P', 'K', 1, 0, 1, 0, 1, 0, 0, 0, 0x15, 0, 0, 0,      // header
                            1, 'a', 1, 0, 1, 0,                                          // folder a
                            'a', 'b', 'c',                                               // data at 22
                            5, 'x', '.', 't', 'x', 't', 0x16, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0}));
    EXPECT_EQ(doc.catalogue.Records().at(0).dataOffset, 22u);
}

TEST(PackFormat, FolderIndicesFollowTheTreeRule)
{
    // root -> A, D; A -> B, C; D -> E
    Catalogue c;
    Folder* a = c.InsertFolder("A", -1, c.Root());
    Folder* d = c.InsertFolder("D", -1, c.Root());
    c.InsertFolder("B", -1, *a);
    c.InsertFolder("C", -1, *a);
    c.InsertFolder("E", -1, *d);
    const FolderNumbering n = BuildFolderTable(c.Root());
    std::vector<std::string> names;
    std::vector<std::pair<int, int>> ranges;
    for (const FolderImage& f : n.images) {
        names.push_back(f.name);
        ranges.emplace_back(f.first, f.end);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"A", "D", "B", "C", "E"}));
    EXPECT_EQ(ranges, (std::vector<std::pair<int, int>>{{2, 4}, {4, 5}, {4, 4}, {4, 4}, {5, 5}}));
}

TEST(PackFormat, ReadingRenumbersFoldersInTableOrder)
{
    // Created in the order B (inside A), D, A... but numbered by the table.
    TempDir dir;
    PackDoc doc;
    Folder& a = doc.FolderAt("A");
    doc.FolderAt("D");
    doc.catalogue.InsertFolder("B", -1, a);
    doc.AddFile(dir, "A\\B\\f", {'1'});
    doc.AddFile(dir, "D\\g", {'2'});
    ASSERT_TRUE(doc.Save(dir / "ids.epk"));

    PackDoc reopened;
    ASSERT_TRUE(reopened.Open(dir / "ids.epk"));
    EXPECT_EQ(reopened.Folders(), (std::map<std::string, uint16_t>{{"A", 1}, {"D", 2}, {"A\\B", 3}}));
    EXPECT_EQ(reopened.catalogue.FolderCounter(), 3);
    // The saved catalogue carries the same IDs as the one read back.
    EXPECT_EQ(doc.Folders(), reopened.Folders());
    EXPECT_EQ(doc.catalogue.Entries()[0].folderId, 3u);
}

TEST(Scrambler, FieldsFollowTheirKeysAndRestartSignals)
{
    KeySchedule k;
    k.byteKeys = {0xF1, 0x02, 0, 0, 0, 0, 0, 0};
    k.wordKeys = {0xAB12, 0x0034, 0, 0, 0, 0, 0, 0};
    k.dwordKeys = {0x11111111, 0x22222222, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 16; ++i) k.streamKey[i] = static_cast<uint8_t>(i + 1);
    Scrambler s(k);

    EXPECT_EQ(s.Byte(0x80, 7), 0x80 ^ 0x71);  // only the low 7 bits change
    EXPECT_EQ(s.Byte(0x00), 0x02);
    s.Byte(0, 255);                            // restart
    EXPECT_EQ(s.Byte(0x00), 0xF1);

    EXPECT_EQ(s.Word(0x1234), 0x0026);  // high bytes dropped: 0x34 ^ 0x12
    EXPECT_EQ(s.Word(0xFFFF), 0xFFFF);  // restart, unchanged
    EXPECT_EQ(s.Word(0x0100), 0x0012);

    EXPECT_EQ(s.Dword(0), 0x11111111u);
    EXPECT_EQ(s.Dword(0xFFFFFFFF), 0xFFFFFFFFu);
    EXPECT_EQ(s.Dword(0), 0x11111111u);

    std::vector<uint8_t> plain255(255, 7);
    s.Name(plain255);
    EXPECT_EQ(plain255, std::vector<uint8_t>(255, 7));  // a 255-byte name stays plain
    std::vector<uint8_t> name = {0, 0, 0};
    s.Name(name);
    EXPECT_EQ(name, Bytes({1, 2, 3}));

    EXPECT_EQ(s.NextCheckByte(), k.checkBytes[0]);
}

TEST(Scrambler, FileDataMatchesTheBytewiseRuleAtEveryOffsetAndLength)
{
    KeySchedule k = test::KeysFor("data");
    const auto data = test::RandomBytes(200, 3);
    for (unsigned start = 0; start < 16; ++start) {
        for (size_t len : {0, 1, 15, 16, 17, 31, 33, 200}) {
            std::vector<uint8_t> fast(data.begin(), data.begin() + static_cast<long>(len));
            ScrambleFileData(fast, k.streamKey, start);
            for (size_t i = 0; i < len; ++i)
                ASSERT_EQ(fast[i], data[i] ^ k.streamKey[(start + i) % 16]) << start << " " << len << " " << i;
        }
    }
}

}  // namespace
}  // namespace tarvex
