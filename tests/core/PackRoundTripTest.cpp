// Packs written and read back over schemes x passwords x shapes of content.
#include <gtest/gtest.h>

#include "base/GbkText.h"
#include "catalogue/PackPaths.h"
#include "tests/support/PackFixture.h"

namespace tarvex {
namespace {

using test::PackDoc;
using test::TempDir;

struct RoundTripCase {
    const char* label;
    uint8_t scheme;
    const char* password;
};

class PackRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

std::string Gbk(const char* utf8)
{
    return Utf8ToGbk(utf8).value();
}

// A catalogue with deep and empty folders, empty files, long and GBK names,
// and contents that each scheme treats differently.
void FillVariedCatalogue(PackDoc& doc, const TempDir& dir, uint8_t scheme)
{
    doc.AddFile(dir, "root.txt", test::TextLikeBytes(5000, 1), scheme);
    doc.AddFile(dir, "empty.bin", {}, 0);
    doc.AddFile(dir, "d1\\d2\\d3\\d4\\d5\\deep.dat", test::RandomBytes(3000, 2), scheme);
    doc.AddFile(dir, "d1\\runs.map", std::vector<uint8_t>(70000, 0x41), scheme);
    doc.AddFile(dir, Gbk("资源\\图片\\标题.bmp"), test::RandomBytes(1, 3), scheme);
    doc.AddFile(dir, Gbk("资源\\说明.txt"), test::TextLikeBytes(200, 4), scheme);
    doc.AddFile(dir, std::string(255, 'n'), {'x', 'y', 'z'}, scheme);
    doc.AddFile(dir, "same\\a.txt", {'1'}, scheme);
    doc.AddFile(dir, "same\\A.TXT", {'2'}, scheme);
    doc.FolderAt("empty folder\\inner");
    doc.FolderAt(std::string(255, 'F'));
}

TEST_P(PackRoundTrip, ContentsTreeAndIdsSurviveWriteAndRead)
{
    const RoundTripCase& c = GetParam();
    TempDir dir;
    PackDoc doc;
    FillVariedCatalogue(doc, dir, c.scheme);
    std::map<std::string, std::vector<uint8_t>> expected;
    const auto paths = FolderPathsById(doc.catalogue);
    for (const FileEntry& e : doc.catalogue.Entries())
        expected[EntryPackPath(paths, e)] = test::ReadFileBytes(e.sourcePath);

    ASSERT_TRUE(doc.Save(dir / "pack.epk", c.password)) << ::testing::PrintToString(doc.prompt.Texts());
    PackDoc reopened;
    ASSERT_TRUE(reopened.Open(dir / "pack.epk", c.password));
    EXPECT_EQ(reopened.archive.Header().IsProtected(), *c.password != 0);
    EXPECT_EQ(reopened.Folders(), doc.Folders());
    EXPECT_EQ(reopened.Contents(), expected);
    EXPECT_TRUE(reopened.prompt.messages.empty()) << ::testing::PrintToString(reopened.prompt.Texts());

    // After the save every entry is carried over and matches its record.
    const auto& entries = doc.catalogue.Entries();
    ASSERT_EQ(doc.catalogue.Records().size(), entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const PackRecord& r = doc.catalogue.Records()[i];
        EXPECT_TRUE(entries[i].IsCarriedOver());
        EXPECT_EQ(entries[i].name, r.name);
        EXPECT_EQ(entries[i].encodedSize, r.storedSize);
        EXPECT_EQ(entries[i].storedScheme, r.scheme);
        EXPECT_TRUE(entries[i].sourcePath.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    SchemesAndPasswords, PackRoundTrip,
    ::testing::Values(RoundTripCase{"none", 0, ""}, RoundTripCase{"rle", 1, ""}, RoundTripCase{"lz", 2, ""},
                      RoundTripCase{"none_pw", 0, "secret"}, RoundTripCase{"rle_pw", 1, "密码"},
                      RoundTripCase{"lz_pw", 2, "a much longer password of sixty-four bytes or so, to pass a block"}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace tarvex
