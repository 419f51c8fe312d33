// Folders made to extract into, and a pack object that forgets its pack.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "archive/Messages.h"
#include "schemes/Extraction.h"
#include "tests/support/PackFixture.h"

namespace tarvex {
namespace {

using test::PackDoc;
using test::RecordingPrompt;
using test::TempDir;

TEST(MakeRealDirectory, MakesOrAcceptsARealFolderOnly)
{
    TempDir dir;
    RecordingPrompt prompt;
    EXPECT_TRUE(MakeRealDirectory(dir / "new", prompt));
    EXPECT_TRUE(MakeRealDirectory(dir / "new", prompt));  // already there
    EXPECT_TRUE(prompt.messages.empty());

    // A file or a link in the folder's place would send writes elsewhere.
    dir.Write("file", "x");
    ASSERT_EQ(::symlink(dir.Path().c_str(), (dir / "link").c_str()), 0);
    for (const std::string name : {"file", "link"}) {
        prompt.messages.clear();
        EXPECT_FALSE(MakeRealDirectory(dir / name, prompt));
        ASSERT_EQ(prompt.messages.size(), 1u);
        EXPECT_EQ(prompt.messages[0].text, Printf(msg::kNotAFolder, (dir / name).c_str()));
        EXPECT_EQ(prompt.messages[0].icon, MsgIcon::Error);
    }
    prompt.messages.clear();
    EXPECT_FALSE(MakeRealDirectory(dir / "missing/inner", prompt));
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].text.rfind("无法创建文件夹", 0), 0u);
}

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
