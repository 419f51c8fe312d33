// Extracting a folder with everything below it.
#include <gtest/gtest.h>

#include "archive/Messages.h"
#include "schemes/TreeExtraction.h"
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
    ASSERT_TRUE(extractor.Open(dir / "p.epk"));
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

}  // namespace
}  // namespace tarvex
