// Extracting a folder with everything below it.
#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

#include "schemes/TreeExtraction.h"
#include "talk/Messages.h"
#include "tests/support/PackFixture.h"

namespace tarvex {
namespace {

using test::PackDoc;
using test::ReadFileBytes;
using test::TempDir;

TEST(TreeExtraction, WritesTheFolderWithItsTreeAndTellsAboutEachFile)
{
    TempDir dir;
    PackDoc doc;
    doc.AddFile(dir, "A\\one.txt", {'1'});
    doc.AddFile(dir, "A\\B\\two.txt", {'2', '2'});
    doc.AddFile(dir, "A\\B\\C\\three.txt", {'3'});
    doc.AddFile(dir, "other.txt", {'o'});
    doc.FolderAt("A\\empty");
    ASSERT_TRUE(doc.Save(dir / "p.epk", "pw"));
    ASSERT_TRUE(doc.Open(dir / "p.epk", "pw"));

    PackExtractor extractor(doc.archive, doc.prompt);
    ASSERT_TRUE(extractor.Open());
    const std::string out = dir.MakeDir("out");
    std::vector<std::pair<std::string, std::string>> told;
    const ExtractionReport report = ExtractFolderTree(
        extractor, doc.catalogue, doc.FolderAt("A"), out, doc.prompt, [&](size_t index, const std::string& folder) {
            told.emplace_back(doc.catalogue.Entries()[index].name, folder.substr(out.size()));
        });
    EXPECT_EQ(report.written, 3u);
    EXPECT_EQ(report.failed, 0u);
    std::sort(told.begin(), told.end());
    EXPECT_EQ(told, (std::vector<std::pair<std::string, std::string>>{
                        {"one.txt", "/A"}, {"three.txt", "/A/B/C"}, {"two.txt", "/A/B"}}));
    EXPECT_EQ(ReadFileBytes(out + "/A/B/two.txt"), (std::vector<uint8_t>{'2', '2'}));
    EXPECT_EQ(dir.List("out/A"), (std::vector<std::string>{"B", "empty", "one.txt"}));
    EXPECT_TRUE(doc.prompt.messages.empty());
}

// Another program that can write into the destination swaps a folder for a
// link to elsewhere once the folders are made: every file still goes into
// the folder that was made, wherever its name has gone, and nothing lands
// where the link points.
TEST(TreeExtraction, AFolderSwappedForALinkMeanwhileLeadsNothingOutside)
{
    TempDir dir;
    PackDoc doc;
    doc.AddFile(dir, "A\\B\\one.txt", {'1'});
    doc.AddFile(dir, "A\\B\\two.txt", {'2'});
    ASSERT_TRUE(doc.Save(dir / "p.epk"));
    ASSERT_TRUE(doc.Open(dir / "p.epk"));
    PackExtractor extractor(doc.archive, doc.prompt);
    ASSERT_TRUE(extractor.Open());
    const std::string out = dir.MakeDir("out");
    const std::string outside = dir.MakeDir("outside");
    const auto swap = [&] {
        ASSERT_EQ(std::rename((out + "/A").c_str(), (out + "/A-moved").c_str()), 0);
        ASSERT_EQ(::symlink(outside.c_str(), (out + "/A").c_str()), 0);
        dir.MakeDir("outside/B");
    };

    // One file into a folder made for it.
    const std::shared_ptr<const DiskFolder> dest = OpenDestination(out, doc.prompt);
    ASSERT_TRUE(dest);
    const std::shared_ptr<const DiskFolder> place = MakeFolderPlace(doc.catalogue, doc.FolderAt("A\\B"), dest, doc.prompt);
    ASSERT_TRUE(place);
    swap();
    EXPECT_TRUE(ExtractEntryInto(extractor, doc.catalogue, 0, *place, doc.prompt));
    EXPECT_EQ(dir.List("out/A-moved/B"), std::vector<std::string>{"one.txt"});
    EXPECT_TRUE(dir.List("outside/B").empty());

    // A whole tree: the swap comes as the first file's turn is taken.
    ASSERT_EQ(::unlink((out + "/A").c_str()), 0);
    ASSERT_EQ(std::rename((out + "/A-moved").c_str(), (out + "/gone").c_str()), 0);
    bool swapped = false;
    const ExtractionReport report =
        ExtractFolderTree(extractor, doc.catalogue, doc.catalogue.Root(), dest, doc.prompt, [&](size_t, const std::string&) {
            if (!std::exchange(swapped, true)) swap();
        });
    EXPECT_EQ(report.written, 2u);
    EXPECT_EQ(dir.List("out/A-moved/B"), (std::vector<std::string>{"one.txt", "two.txt"}));
    EXPECT_TRUE(dir.List("outside/B").empty());
    EXPECT_TRUE(doc.prompt.messages.empty());
}

}  // namespace
}  // namespace tarvex
