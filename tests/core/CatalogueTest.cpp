// The catalogue's arrays and the editing operations with their refusals.
#include <gtest/gtest.h>

#include <set>
#include <sys/stat.h>

#include "base/GbkText.h"
#include "catalogue/CatalogueEdits.h"
#include "catalogue/DirectoryImport.h"
#include "catalogue/NamePattern.h"
#include "catalogue/PackPaths.h"
#include "talk/Messages.h"
#include "tests/support/PackFixture.h"

namespace tarvex {
namespace {

using test::PackDoc;
using test::TempDir;

constexpr const char* kFileExists = "该文件夹下已经有一个 %s 存在！";

// A catalogue read from a pack of five files, so entries and records pair up.
class OpenedFive : public ::testing::Test {
protected:
    void SetUp() override
    {
        PackDoc source;
        for (int i = 0; i < 5; ++i) source.AddFile(dir, "f" + std::to_string(i), {static_cast<uint8_t>('0' + i)});
        ASSERT_TRUE(source.Save(dir / "five.epk"));
        ASSERT_TRUE(doc.Open(dir / "five.epk"));
    }
    std::vector<std::string> EntryNames() const
    {
        std::vector<std::string> names;
        for (const auto& e : doc.catalogue.Entries()) names.push_back(e.name);
        return names;
    }
    std::vector<std::string> RecordNames() const
    {
        std::vector<std::string> names;
        for (const auto& r : doc.catalogue.Records()) names.push_back(r.name);
        return names;
    }
    TempDir dir;
    PackDoc doc;
};

TEST_F(OpenedFive, RemovingAnEntryMovesTheLastEntryAndRecordIntoItsPlace)
{
    doc.catalogue.RemoveEntry(3);
    EXPECT_EQ(EntryNames(), (std::vector<std::string>{"f0", "f1", "f2", "f4"}));
    EXPECT_EQ(RecordNames(), EntryNames());
}

TEST_F(OpenedFive, RemovingANewEntryLeavesTheRecords)
{
    doc.AddFile(dir, "new", {'n'});
    doc.catalogue.RemoveEntry(5);
    EXPECT_EQ(RecordNames(), (std::vector<std::string>{"f0", "f1", "f2", "f3", "f4"}));
    doc.catalogue.RemoveRecord(7);  // beyond the records: nothing
    EXPECT_EQ(doc.catalogue.Records().size(), 5u);
}

TEST_F(OpenedFive, ANewEntryMovedIntoAPackedOnesPlaceGetsNoRecord)
{
    doc.AddFile(dir, "new", {'n'});
    doc.catalogue.RemoveEntry(1);
    EXPECT_EQ(EntryNames(), (std::vector<std::string>{"f0", "new", "f2", "f3", "f4"}));
    // The packed entries keep their own records; the new one has none to use.
    EXPECT_EQ(doc.catalogue.Records()[4].name, "f4");
    EXPECT_FALSE(doc.catalogue.Entries()[1].IsCarriedOver());
    EXPECT_EQ(doc.Contents().at("f4"), std::vector<uint8_t>{'4'});
}

TEST_F(OpenedFive, EntryIdentitiesFollowTheirEntriesAndAreNeverReused)
{
    auto& entries = doc.catalogue.Entries();
    const uint64_t f1 = entries[1].identity;
    const uint64_t f4 = entries[4].identity;
    const uint64_t f3 = entries[3].identity;
    EXPECT_NE(f1, f4);
    // Removing f1 puts f4 at index 1: the index now names f4, the identity
    // of f1 names nothing, and f4 is found where it went.
    doc.catalogue.RemoveEntry(1);
    EXPECT_EQ(doc.catalogue.EntryIndexOf(f1), std::nullopt);
    EXPECT_EQ(doc.catalogue.EntryIndexOf(f4), 1u);
    EXPECT_EQ(doc.catalogue.EntryIndexOf(f4, 4), 1u);
    EXPECT_EQ(doc.catalogue.EntryIndexOf(0), std::nullopt);
    // New entries and copies get identities never seen before.
    doc.AddFile(dir, "new", {'n'});
    Folder* other = doc.catalogue.InsertFolder("other", -1, doc.catalogue.Root());
    ASSERT_EQ(CopyFileEntry(doc.catalogue, other->id, 0, doc.prompt), EditResult::Done);
    std::set<uint64_t> seen{f1};
    for (const FileEntry& e : entries) EXPECT_TRUE(seen.insert(e.identity).second) << e.name;

    // A save keeps every entry's identity; opening another pack gives new ones.
    ASSERT_TRUE(doc.Save(dir / "again.epk"));
    EXPECT_EQ(doc.catalogue.EntryIndexOf(f4), 1u);
    EXPECT_EQ(doc.catalogue.EntryIndexOf(f3), 3u);
    ASSERT_TRUE(doc.Open(dir / "five.epk"));
    EXPECT_EQ(doc.catalogue.EntryIndexOf(f4), std::nullopt);
    for (const FileEntry& e : entries) EXPECT_FALSE(seen.count(e.identity)) << e.name;
}

TEST(Catalogue, AddPluginMatchesNameAndVersion)
{
    Catalogue c;
    EXPECT_EQ(c.AddPlugin("a.edl", "Zip", 1), 0x80);
    EXPECT_EQ(c.AddPlugin("b.edl", "Zip", 2), 0x81);
    EXPECT_EQ(c.AddPlugin("c.edl", "Zip", 1), 0x80);
    EXPECT_EQ(c.Plugins()[0].moduleFile, "c.edl");
    for (int k = 2; k < 128; ++k) c.AddPlugin("m.edl", "p" + std::to_string(k), 1);
    EXPECT_EQ(c.AddPlugin("m.edl", "one too many", 1), std::nullopt);
    EXPECT_EQ(c.Plugins().size(), 128u);
}

TEST(Catalogue, FolderHandlesAreNeverReused)
{
    Catalogue c;
    Folder* a = c.InsertFolder("a", -1, c.Root());
    const uint32_t handle = a->handle;
    c.DetachFolder(*a);
    EXPECT_EQ(c.FolderByHandle(handle), nullptr);
    c.Reset("new");
    EXPECT_NE(c.InsertFolder("a", -1, c.Root())->handle, handle);
    EXPECT_EQ(c.InsertFolder("b", -1, c.Root())->id, 2);
}

class Edits : public ::testing::Test {
protected:
    TempDir dir;
    PackDoc doc;
    Catalogue& c = doc.catalogue;
};

TEST_F(Edits, FileNamesAreUniquePerFolderExactly)
{
    Folder& a = doc.FolderAt("a");
    const std::string path = dir.Write("x/Readme.txt", std::string("1"));
    EXPECT_EQ(AddFileEntry(c, a.id, path, doc.prompt), EditResult::Done);
    EXPECT_EQ(AddFileEntry(c, a.id, path, doc.prompt), EditResult::Refused);
    EXPECT_EQ(doc.prompt.Texts(), std::vector<std::string>{Printf(kFileExists, "Readme.txt")});
    EXPECT_EQ(doc.prompt.messages[0].icon, MsgIcon::Error);
    EXPECT_EQ(AddFileEntry(c, a.id, dir.Write("y/README.TXT", std::string("2")), doc.prompt), EditResult::Done);
    EXPECT_EQ(AddFileEntry(c, 0, path, doc.prompt), EditResult::Done);
    EXPECT_EQ(AddFileEntry(c, 0, dir / "missing", doc.prompt), EditResult::Failed);

    // Copying into its own folder is refused, moving there does nothing.
    doc.prompt.messages.clear();
    EXPECT_EQ(CopyFileEntry(c, a.id, 0, doc.prompt), EditResult::Refused);
    EXPECT_EQ(MoveFileEntry(c, a.id, 0, doc.prompt), EditResult::Unchanged);
    EXPECT_EQ(MoveFileEntry(c, 0, 0, doc.prompt), EditResult::Refused);  // the root has a Readme.txt
    EXPECT_EQ(doc.prompt.messages.size(), 2u);
}

TEST_F(Edits, ADirectoryImportedTwiceAddsOnlyWhatIsNew)
{
    Folder& a = doc.FolderAt("a");
    dir.Write("tree/one.txt", std::string("1"));
    dir.Write("tree/two.txt", std::string("2"));
    dir.Write("tree/sub/three.txt", std::string("3"));
    ImportReport first = ImportDirectoryTree(c, a, dir / "tree", doc.prompt);
    EXPECT_EQ(first.files, 3u);
    EXPECT_EQ(first.refused, 0u);

    dir.Write("tree/new.txt", std::string("4"));
    ImportReport second = ImportDirectoryTree(c, a, dir / "tree", doc.prompt);
    EXPECT_EQ(second.files, 1u);
    EXPECT_EQ(second.refused, 3u);
    EXPECT_EQ(doc.prompt.Texts(), (std::vector<std::string>{Printf(kFileExists, "one.txt"),
                                                            Printf(kFileExists, "two.txt"),
                                                            Printf(kFileExists, "three.txt")}));
    EXPECT_EQ(c.Entries().size(), 4u);

    // A copy of the folder holds each file once.
    doc.prompt.messages.clear();
    EXPECT_EQ(CopyFolder(c, doc.FolderAt("b"), a, doc.prompt), EditResult::Done);
    EXPECT_EQ(c.Entries().size(), 8u);
    EXPECT_TRUE(doc.prompt.Texts().empty());
}

// Folders are listed ahead on helper threads and a large folder's names are
// looked at in runs: the catalogue must still come out as one thread makes
// it, each folder's files in GBK order before its sub-folders, every length
// right, and a skipped pipe told once.
TEST_F(Edits, ATreeComesInInOrderWithEveryLengthWhateverItsShape)
{
    constexpr int kBig = 700;  // a few runs of looks, and a short one
    for (int i = kBig - 1; i >= 0; --i) dir.Write(Printf("tree/big/n%04d", i), std::string(i % 50, 'x'));
    dir.Write("tree/big/deep/d1/one.txt", std::string("1"));
    dir.Write("tree/中.txt", std::string("22"));
    dir.Write("tree/a.txt", std::string("333"));
    for (const char* name : {"c", "b", "a"}) dir.Write(std::string("tree/zz/") + name, std::string(name));
    const std::string pipe = dir / "tree/zz/pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);

    const ImportReport report = ImportDirectoryTree(c, c.Root(), dir / "tree", doc.prompt);
    EXPECT_EQ(report.files, kBig + 6u);
    EXPECT_EQ(report.folders, 4u);
    EXPECT_EQ(report.skipped, 1u);
    EXPECT_FALSE(report.failed);
    EXPECT_EQ(doc.prompt.Texts(), std::vector<std::string>{Printf("已跳过%s：它不是普通文件或文件夹。", pipe.c_str())});

    std::vector<std::string> expected{"a.txt 3", Utf8ToGbkLossy("中.txt") + " 2"};
    for (int i = 0; i < kBig; ++i) expected.push_back(Printf("big\\n%04d %d", i, i % 50));
    expected.push_back("big\\deep\\d1\\one.txt 1");
    for (const char* name : {"a", "b", "c"}) expected.push_back(std::string("zz\\") + name + " 1");
    std::vector<std::string> found;
    const auto folders = FolderPathsById(c);
    for (const FileEntry& e : c.Entries())
        found.push_back(EntryPackPath(folders, e) + " " + std::to_string(e.fileSize));
    EXPECT_EQ(found, expected);
}

TEST_F(Edits, NamesGbkCannotHoldOrTooLongAreRefused)
{
    EXPECT_EQ(AddFileEntry(c, 0, dir.Write("emoji\xF0\x9F\x98\x80.txt", std::string("1")), doc.prompt),
              EditResult::Refused);
    EXPECT_TRUE(c.Entries().empty());
    // A name typed in the editor may be longer than the field: 128 Chinese
    // characters are 256 GBK bytes.
    std::string typed;
    for (int i = 0; i < 128; ++i) typed += "中";
    EXPECT_EQ(StorableName(typed, doc.prompt), std::nullopt);
    EXPECT_EQ(StorableName(typed.substr(3), doc.prompt)->size(), 254u);
    EXPECT_EQ(doc.prompt.messages.size(), 2u);
}

TEST_F(Edits, FoldersCannotGoIntoThemselvesOrOntoATakenName)
{
    Folder& a = doc.FolderAt("a");
    Folder& b = doc.FolderAt("a\\b");
    Folder& other = doc.FolderAt("other");
    doc.FolderAt("other\\b");
    const std::vector<std::pair<EditResult, std::string>> expected = {
        {MoveFolder(c, b, a, doc.prompt), "无法移动文件夹！目标文件夹是源文件夹的子文件夹。"},
        {MoveFolder(c, a, a, doc.prompt), "无法移动文件夹！目标文件夹是源文件夹的子文件夹。"},
        {MoveFolder(c, other, c.Root(), doc.prompt), "无法移动文件夹！目标文件夹是源文件夹的子文件夹。"},
        {CopyFolder(c, b, a, doc.prompt), "无法复制文件夹！目标文件夹是源文件夹的子文件夹。"},
        {MoveFolder(c, c.Root(), a, doc.prompt), "无法移动文件夹！该文件夹下已经有一个文件夹 <a> 存在！"},
        {CopyFolder(c, other, b, doc.prompt), "无法复制文件夹！该文件夹下已经有一个文件夹 <b> 存在！"},
    };
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i].first, EditResult::Refused) << i;
        EXPECT_EQ(doc.prompt.messages.at(i).text, expected[i].second) << i;
    }
    EXPECT_EQ(doc.Folders().size(), 4u);
}

TEST_F(Edits, MovedFoldersKeepTheirIdsAndCopiesGetNewOnes)
{
    doc.AddFile(dir, "a\\b\\f.txt", {'f'});
    doc.AddFile(dir, "a\\g.txt", {'g'});
    Folder& a = doc.FolderAt("a");
    Folder& dest = doc.FolderAt("dest");
    const uint16_t aId = a.id;
    const uint16_t bId = doc.FolderAt("a\\b").id;

    ASSERT_EQ(CopyFolder(c, dest, a, doc.prompt), EditResult::Done);
    auto folders = doc.Folders();
    EXPECT_GT(folders.at("dest\\a"), folders.at("dest"));
    EXPECT_NE(folders.at("dest\\a\\b"), bId);
    EXPECT_EQ(c.Entries().size(), 4u);

    Folder& target = doc.FolderAt("target");
    ASSERT_EQ(MoveFolder(c, target, a, doc.prompt), EditResult::Done);
    folders = doc.Folders();
    EXPECT_EQ(folders.at("target\\a"), aId);
    EXPECT_EQ(folders.at("target\\a\\b"), bId);
    EXPECT_EQ(target.children.back()->name, "a");
    EXPECT_EQ(c.Entries()[0].folderId, bId);
    EXPECT_TRUE(doc.prompt.messages.empty());
}

TEST_F(Edits, MovingAFolderWithSameNamedSubfoldersLosesNothing)
{
    // Dropped directories may give two sub-folders the same name.
    Folder& a = doc.FolderAt("a");
    Folder* twin1 = c.InsertFolder("twin", -1, a);
    Folder* twin2 = c.InsertFolder("twin", -1, a);
    doc.AddFile(dir, "a\\x", {'x'});
    c.Entries().back().folderId = twin2->id;
    ASSERT_EQ(MoveFolder(c, doc.FolderAt("dest"), a, doc.prompt), EditResult::Done);
    EXPECT_EQ(a.children.size(), 2u);
    EXPECT_NE(c.FolderById(twin1->id), nullptr);
    EXPECT_NE(c.FolderById(c.Entries().back().folderId), nullptr);
}

TEST_F(Edits, RemovingAFolderTreeRemovesEveryFileBelowIt)
{
    doc.AddFile(dir, "keep.txt", {'k'});
    doc.AddFile(dir, "a\\1", {'1'});
    doc.AddFile(dir, "a\\b\\2", {'2'});
    doc.AddFile(dir, "other\\3", {'3'});
    doc.AddFile(dir, "a\\b\\c\\4", {'4'});
    RemoveFolderTree(c, doc.FolderAt("a"));
    std::vector<std::string> left;
    for (const auto& e : c.Entries()) left.push_back(e.name);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"3", "keep.txt"}));
    EXPECT_EQ(doc.Folders().size(), 1u);
}

TEST_F(Edits, SiblingNamesCompareExactly)
{
    Folder& data = doc.FolderAt("Data");
    doc.FolderAt("other");
    EXPECT_TRUE(HasSiblingNamed(&data, "other", false));
    EXPECT_FALSE(HasSiblingNamed(&data, "data", false));
    EXPECT_FALSE(HasSiblingNamed(&data, "Data", false));
    EXPECT_TRUE(HasSiblingNamed(&data, "Data", true));
    EXPECT_FALSE(HasSiblingNamed(nullptr, "Data", true));
}

TEST_F(Edits, EmptyFilesTakeNoSchemeAndStoredSizesComeBack)
{
    doc.AddFile(dir, "empty", {});
    EXPECT_EQ(SetEntryScheme(c, 0, 2, doc.prompt), EditResult::Refused);
    EXPECT_EQ(doc.prompt.Texts(), std::vector<std::string>{"0字节的文件不能使用任何编码方案！"});
    EXPECT_EQ(doc.prompt.messages[0].icon, MsgIcon::Warning);

    doc.AddFile(dir, "text", test::TextLikeBytes(1000, 1), 0);
    EXPECT_EQ(SetEntryScheme(c, 1, 1, doc.prompt), EditResult::Done);
    EXPECT_EQ(c.Entries()[1].encodedSize, kUnknownSize);
    EXPECT_EQ(SetEntryScheme(c, 1, 0, doc.prompt), EditResult::Done);
    EXPECT_EQ(c.Entries()[1].encodedSize, 1000u);
}

TEST_F(Edits, RenamesTrimForTheCheckAndKeepTheTypedName)
{
    Folder& a = doc.FolderAt("a");
    doc.FolderAt("b");
    EXPECT_EQ(RenameFolder(a, " b ", doc.prompt), EditResult::Refused);
    EXPECT_EQ(RenameFolder(a, "   ", doc.prompt), EditResult::Refused);  // blank: no message
    EXPECT_EQ(RenameFolder(a, " a ", doc.prompt), EditResult::Done);    // its own name is not a conflict
    EXPECT_EQ(a.name, " a ");
    EXPECT_EQ(RenameFolder(c.Root(), "x", doc.prompt), EditResult::Refused);
    EXPECT_EQ(doc.prompt.Texts(), (std::vector<std::string>{"该名字已被使用，请重新命名！", "注意：不允许更改根的名字！"}));
    EXPECT_EQ(doc.prompt.messages[0].icon, MsgIcon::None);

    // The list compares a folder with the folders beside it case ignored,
    // the tree by exact bytes.
    doc.prompt.messages.clear();
    EXPECT_EQ(RenameFolderInList(a, " B ", doc.prompt), EditResult::Refused);
    EXPECT_EQ(RenameFolderInList(a, "A", doc.prompt), EditResult::Done);
    EXPECT_EQ(RenameFolderInList(a, "a", doc.prompt), EditResult::Done);  // itself is no conflict
    EXPECT_EQ(RenameFolderInList(c.Root(), "x", doc.prompt), EditResult::Refused);
    EXPECT_EQ(RenameFolder(a, "B", doc.prompt), EditResult::Done);
    EXPECT_EQ(doc.prompt.Texts(), (std::vector<std::string>{"该名字已被使用，请重新命名！", "注意：不允许更改根的名字！"}));

    doc.prompt.messages.clear();
    doc.AddFile(dir, "f\\Readme.txt", {'1'});
    doc.AddFile(dir, "f\\other.txt", {'2'});
    doc.AddFile(dir, "g\\README.TXT", {'3'});
    EXPECT_EQ(RenameFileEntry(c, 1, "README.txt", doc.prompt), EditResult::Refused);
    EXPECT_EQ(RenameFileEntry(c, 0, "readme.TXT", doc.prompt), EditResult::Done);  // only itself has that name
    EXPECT_EQ(RenameFileEntry(c, 2, "other.txt", doc.prompt), EditResult::Done);   // another folder
    EXPECT_EQ(doc.prompt.messages.size(), 1u);
}

TEST_F(Edits, TypedPathsFindFoldersAndFiles)
{
    doc.AddFile(dir, "a\\b\\x", {'1'});
    doc.FolderAt("a\\b\\x");
    const auto both = FindPackPath(c, "a/b\\x");
    ASSERT_TRUE(both.has_value());
    EXPECT_NE(both->folder, nullptr);
    EXPECT_EQ(both->files, std::vector<size_t>{0});
    EXPECT_TRUE(FindPackPath(c, "a/b/x/")->files.empty());
    EXPECT_EQ(FindPackPath(c, "")->folder, &c.Root());
    EXPECT_EQ(FindPackPath(c, "/")->folder, &c.Root());
    EXPECT_FALSE(FindPackPath(c, "a/nothing")->Found());
    EXPECT_EQ(FindPackPath(c, "\xF0\x9F\x98\x80"), std::nullopt);
    EXPECT_EQ(FolderAtPath(c, "a/new/deeper", false), nullptr);
    Folder* made = FolderAtPath(c, "a/new/deeper", true);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(PackPathOf(*made), "a\\new\\deeper");
}

TEST(CaseBlindNames, FoldAsciiOnlyAndKeepDoubleByteCharactersWhole)
{
    EXPECT_TRUE(GbkEqualsIgnoreCase("Readme.txt", "README.TXT"));
    EXPECT_FALSE(GbkEqualsIgnoreCase("Readme.txt", "Readme.tx"));
    // 0xB0 0x41 and 0xB0 0x61 are two different characters, not one letter in two cases.
    EXPECT_FALSE(GbkEqualsIgnoreCase("\xB0\x41", "\xB0\x61"));
    EXPECT_TRUE(GbkEqualsIgnoreCase(Utf8ToGbk("新建文件夹A").value(), Utf8ToGbk("新建文件夹a").value()));
}

TEST(NamePatterns, MatchAsTheListComparesNamesWithOneCharacterPerQuestionMark)
{
    struct Case {
        const char* pattern;  // UTF-8, or GBK bytes
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"*.PNG", "ui/logo.png", true},       {"*.png", "logo.png.bak", false},
        {"logo", "big-LOGO-2.png", true},     {"logo", "lgo.png", false},
        {"l?go.*", "lOgo.png", true},         {"l?go.*", "lgo.png", false},
        {"*", "", true},                      {"*", "x", true},
        {"a*b*c", "aXbYbZc", true},           {"a*b*c", "aXbYbZ", false},
        {"**x", "x", true},                   {"", "anything", false},
        {"说明.???", "说明.txt", true},       {"说?.txt", "说明.txt", true},
        {"说??.txt", "说明.txt", false},      {"说明", "游戏说明书.doc", true},
        // 0xB0 0x41 is one character, never the letter A or a.
        {"\xB0" "a", "\xB0\x41", false},  {"?A", "\xB0\x41", false},
        {"?", "\xB0\x41", true},
    };
    for (const Case& c : cases) {
        const std::string pattern = Utf8ToGbk(c.pattern).value_or(c.pattern);
        const std::string name = Utf8ToGbk(c.name).value_or(c.name);
        EXPECT_EQ(NamePattern(pattern).Matches(name), c.matches) << c.pattern << " " << c.name;
    }
}

}  // namespace
}  // namespace tarvex
