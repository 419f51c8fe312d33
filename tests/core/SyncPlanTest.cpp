// The sync planner between a pack saved on disk and a directory tree: what it
// plans for each kind of difference, with and without removals and exclusion
// patterns, and that the catalogue it leaves holds what it planned.
#include <gtest/gtest.h>

#include <map>

#include "catalogue/DirectoryImport.h"
#include "catalogue/Exclusions.h"
#include "catalogue/PackPaths.h"
#include "schemes/SchemeId.h"
#include "sync/SyncPlan.h"
#include "tests/support/PackFixture.h"

namespace tarvex {
namespace {

using test::PackDoc;
using test::TempDir;
using test::TextLikeBytes;

// The change's path with '\' between folders, as the pack writes it.
std::string PathOf(const SyncChange& change)
{
    std::string path;
    for (const std::string& name : change.names) path += (path.empty() ? "" : "\\") + name;
    return path;
}

std::string Shown(const SyncChange& change)
{
    switch (change.action) {
    case SyncAction::AddFolder: return "add folder " + PathOf(change);
    case SyncAction::Add: return "add " + PathOf(change);
    case SyncAction::Change: return "change " + PathOf(change);
    case SyncAction::Remove: return "remove " + PathOf(change);
    case SyncAction::RemoveFolder: return "remove folder " + PathOf(change);
    }
    return {};
}

// Every folder (its path ending in '\') and file of the catalogue, with
// where its bytes come from: "pack" for files as they were loaded, "disk"
// for files to be read from disk.
using Items = std::map<std::string, std::string>;

Items ItemsOf(const Catalogue& catalogue)
{
    Items items;
    const auto paths = FolderPathsById(catalogue);
    for (const auto& [id, path] : paths)
        if (!path.empty()) items[path + "\\"] = "folder";
    for (const FileEntry& e : catalogue.Entries()) items[EntryPackPath(paths, e)] = e.IsCarriedOver() ? "pack" : "disk";
    return items;
}

// The items once the changes are made: what is added or changed comes from
// disk, what is removed is gone, everything else stays as it was.
Items Planned(Items items, const std::vector<SyncChange>& changes)
{
    for (const SyncChange& change : changes) {
        switch (change.action) {
        case SyncAction::AddFolder: items[PathOf(change) + "\\"] = "folder"; break;
        case SyncAction::Add:
        case SyncAction::Change: items[PathOf(change)] = "disk"; break;
        case SyncAction::Remove: items.erase(PathOf(change)); break;
        case SyncAction::RemoveFolder: items.erase(PathOf(change) + "\\"); break;
        }
    }
    return items;
}

// A dry run (no saver) over one pack and one tree. The pack:
//   same.txt, coded.txt (LZ)   the same bytes on disk
//   other.txt, data\x.tmp (LZ) the same size on disk, the last byte other
//   grown.txt                  a byte longer on disk
//   packonly.txt               not on disk
//   gone\g.txt, gone\keep\k.txt, gone\deep\keep\d.txt: a folder gone from disk
// The tree has new.txt and newdir\n.txt besides.
TEST(SyncPlan, PlansEachDifferenceAndTouchesNothingExcluded)
{
    TempDir dir;
    const std::vector<uint8_t> text = TextLikeBytes(3000, 1);
    std::vector<uint8_t> other = text;
    other.back() ^= 1;
    {
        PackDoc doc;
        for (const char* path : {"same.txt", "other.txt", "grown.txt", "packonly.txt", "gone\\g.txt",
                                 "gone\\keep\\k.txt", "gone\\deep\\keep\\d.txt"})
            doc.AddFile(dir, path, text);
        doc.AddFile(dir, "coded.txt", text, kSchemeLz);
        doc.AddFile(dir, "data\\x.tmp", text, kSchemeLz);
        ASSERT_TRUE(doc.Save(dir / "p.epk"));
    }
    dir.Write("tree/same.txt", text);
    dir.Write("tree/coded.txt", text);
    dir.Write("tree/other.txt", other);
    dir.Write("tree/data/x.tmp", other);
    dir.Write("tree/grown.txt", TextLikeBytes(3001, 1));
    dir.Write("tree/new.txt", text);
    dir.Write("tree/newdir/n.txt", text);

    // The changes in the order of the walk: a folder's files, its removed
    // files, its sub-folders on disk, then those gone from disk.
    const std::vector<std::string> root = {"change grown.txt", "add new.txt", "change other.txt"};
    const std::vector<std::string> packOnly = {"remove packonly.txt"};
    const std::vector<std::string> data = {"change data\\x.tmp"};
    const std::vector<std::string> newDir = {"add folder newdir", "add newdir\\n.txt"};
    const std::vector<std::string> gone = {"remove gone\\g.txt",
                                           "remove gone\\keep\\k.txt",
                                           "remove folder gone\\keep",
                                           "remove gone\\deep\\keep\\d.txt",
                                           "remove folder gone\\deep\\keep",
                                           "remove folder gone\\deep",
                                           "remove folder gone"};
    const auto plan = [](std::initializer_list<std::vector<std::string>> parts) {
        std::vector<std::string> all;
        for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    const struct {
        bool deleteAbsent;
        std::vector<std::string> excluded;
        std::vector<std::string> changes;
    } cases[] = {
        {false, {}, plan({root, data, newDir})},
        {true, {}, plan({root, packOnly, data, newDir, gone})},
        // An excluded file is neither read from disk nor removed from the pack.
        {true, {"*.tmp", "packonly.txt"}, plan({root, newDir, gone})},
        // Excluded sub-folders of a folder gone from disk stay with what they
        // hold, and so do the folders above them.
        {true, {"keep"}, plan({root, packOnly, data, newDir, {gone[0]}})},
        {true, {"gone/deep/keep/d.txt"}, plan({root, packOnly, data, newDir, {gone[0], gone[1], gone[2]}})},
        {true, {"gone"}, plan({root, packOnly, data, newDir})},
    };
    for (const auto& c : cases) {
        const std::string shown = testing::PrintToString(c.excluded) + (c.deleteAbsent ? " --delete" : "");
        PackDoc doc;
        ASSERT_TRUE(doc.Open(dir / "p.epk"));
        const Items before = ItemsOf(doc.catalogue);
        const Exclusions exclusions(c.excluded);
        Catalogue disk;
        const ImportReport report =
            ImportDirectoryTree(disk, disk.Root(), dir / "tree", doc.prompt, exclusions.Filter());
        ASSERT_FALSE(report.failed);

        SyncOptions options;
        options.deleteAbsent = c.deleteAbsent;
        options.exclusions = &exclusions;
        options.packOnDisk = dir / "p.epk";
        const SyncOutcome outcome = SyncCatalogue(doc.archive, disk, options, doc.prompt, {});
        ASSERT_FALSE(outcome.failed) << shown;
        std::vector<std::string> changes;
        for (const SyncChange& change : outcome.changes) changes.push_back(Shown(change));
        EXPECT_EQ(changes, c.changes) << shown;
        EXPECT_EQ(outcome.unchanged, 2u) << shown;  // same.txt and coded.txt
        EXPECT_FALSE(outcome.saved) << shown;
        EXPECT_EQ(ItemsOf(doc.catalogue), Planned(before, outcome.changes)) << shown;
        EXPECT_TRUE(doc.prompt.messages.empty()) << shown;
    }
}

}  // namespace
}  // namespace tarvex
