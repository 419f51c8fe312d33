// The writer at its edges: an encoding exactly as long as its file, and an
// entry whose folder is not in the tree.
#include <gtest/gtest.h>

#include "talk/Messages.h"
#include "tests/support/PackFixture.h"

namespace tarvex {
namespace {

using test::PackDoc;
using test::TempDir;

// 15875 literals without a run take 125 full literal packets, 125 bytes more
// than themselves; a closing run of 133 takes two repeat packets of 4 bytes,
// and the 4-byte length header makes the encoding exactly as long as the
// file. One more byte of run, and it is one byte shorter.
std::vector<uint8_t> LiteralsThenRun(size_t run)
{
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < 15875; ++i) bytes.push_back(i % 2 ? 'b' : 'a');
    bytes.insert(bytes.end(), run, 'c');
    return bytes;
}

TEST(WriterEdges, AnEncodingNoShorterThanItsFileIsStoredAsItIsWhenOnlySmallerCounts)
{
    const struct {
        size_t run;
        bool onlySmaller;  // as the command-line tool saves
        uint8_t scheme;
        uint32_t storedSize;
    } cases[] = {
        {133, true, 0, 16008},
        {133, false, 1, 16008},  // the editor keeps an encoding that is not longer
        {134, true, 1, 16008},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.run) + (c.onlySmaller ? ", only smaller" : ""));
        TempDir dir;
        PackDoc doc;
        const std::vector<uint8_t> bytes = LiteralsThenRun(c.run);
        doc.AddFile(dir, "f", bytes, 1);
        StoreOptions options;
        options.fallbackToNone = c.onlySmaller;
        ASSERT_TRUE(doc.Save(dir / "p.epk", "", options));
        const PackRecord& record = doc.catalogue.Records().at(0);
        EXPECT_EQ(record.scheme, c.scheme);
        EXPECT_EQ(record.storedSize, c.storedSize);
        EXPECT_EQ(doc.Contents().at("f"), bytes);
    }
}

TEST(WriterEdges, AnEntryInAFolderOutsideTheTreeIsRefusedBeforeWriting)
{
    TempDir dir;
    PackDoc doc;
    doc.AddFile(dir, "a\\x.txt", {'x'});
    doc.catalogue.Entries()[0].folderId = 9;  // folder "a" is 1
    EXPECT_FALSE(doc.Save(dir / "p.epk"));
    EXPECT_EQ(doc.prompt.Texts(), std::vector<std::string>{msg::kDamaged});
    EXPECT_EQ(dir.List(), std::vector<std::string>{"src0"});
}

}  // namespace
}  // namespace tarvex
