// A pack object that forgets its pack (a new document).
#include <gtest/gtest.h>
#include "tests/support/PackFixture.h"

namespace tarvex {
namespace {

using test::PackDoc;
using test::TempDir;

TEST(PackArchive, ForgetLeavesNoPackBehind)
{
    TempDir dir;
    PackDoc doc;
    doc.AddFile(dir, "a\\b.txt", {'b'});
    ASSERT_TRUE(doc.Save(dir / "p.epk", "secret"));
    ASSERT_TRUE(doc.archive.Keys().IsProtected());
    doc.archive.Forget();
    EXPECT_TRUE(doc.archive.Path().empty());
    EXPECT_FALSE(doc.archive.IsLoaded());
    EXPECT_FALSE(doc.archive.Keys().IsProtected());
    EXPECT_EQ(doc.archive.Header().fileCount, 0u);
    EXPECT_EQ(doc.catalogue.FolderCounter(), 0);
}

}  // namespace
}  // namespace tarvex
