// Edits that leave the start of a pack in place let the new pack share the
// old one's blocks where the file system can (XFS with reflink, in a loop
// image); every edit writes the same bytes there as on a file system that
// copies.
#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <random>

#include "tests/cli/EpkRunner.h"
#include "tests/support/PackFixture.h"

namespace tarvex {
namespace {

using test::ReadFileBytes;
using test::TempDir;

// An XFS file system with reflink in a loop image, mounted for the test's
// life. Empty Skipped() when mounted; else why it cannot be.
class ReflinkImage {
public:
    ReflinkImage()
    {
        if (::geteuid() != 0) {
            skipped_ = "only root can mount a loop image";
            return;
        }
        const std::string image = Quote(place_ / "xfs.img");
        if (RunCaptured("truncate -s 512M " + image + " && mkfs.xfs -q -m reflink=1 " + image).status != 0) {
            skipped_ = "mkfs.xfs with reflink is not available";
            return;
        }
        place_.MakeDir("mnt");
        const EpkRun mount = RunCaptured("mount -o loop " + image + " " + Quote(Root()));
        if (mount.status != 0) skipped_ = "a loop image cannot be mounted here: " + mount.err;
        mounted_ = mount.status == 0;
    }
    ~ReflinkImage()
    {
        // The loop device goes with the mount (mount -o loop sets it to clear itself).
        if (mounted_ && RunCaptured("umount " + Quote(Root())).status != 0) RunCaptured("umount -l " + Quote(Root()));
    }

    const std::string& Skipped() const { return skipped_; }
    std::string Root() const { return place_ / "mnt"; }
    // Bytes in use on the file system, once everything written is on it.
    uint64_t UsedBytes() const
    {
        ::sync();
        struct statvfs st {};
        ::statvfs(Root().c_str(), &st);
        return (st.f_blocks - st.f_bfree) * st.f_frsize;
    }

private:
    TempDir place_;
    std::string skipped_;
    bool mounted_ = false;
};

std::string Noise(size_t bytes, unsigned seed)
{
    std::mt19937 random(seed);
    std::string text(bytes, '\0');
    for (char& c : text) c = static_cast<char>(random());
    return text;
}

TEST(EpkSharedBlocks, EditsKeepingTheDataShareItsBlocksAndWriteWhatACopyWould)
{
    const ReflinkImage xfs;
    if (!xfs.Skipped().empty()) GTEST_SKIP() << "No reflink file system: " << xfs.Skipped();
    const TempDir work;
    for (int i = 0; i < 8; ++i) work.Write("tree/" + std::string(i % 2 ? "a" : "b") + "/f" + std::to_string(i), Noise(4 << 20, i));
    const std::string small = work.Write("small.txt", "small\n");
    const std::string shared = xfs.Root() + "/p.epk";
    const std::string copied = work / "p.epk";
    for (const std::string& pack : {shared, copied}) ASSERT_EQ(Epk({"create", pack, work / "tree", "--scheme", "none"}).status, 0);

    // Each edit in turn, on both packs; the old pack's blocks are held by a
    // second name while the edit runs, so that the space used after it is
    // what the new pack did not share.
    const struct {
        std::vector<std::string> args;
        bool shares;
    } edits[] = {
        {{"add", "PACK", small, "--to", "a"}, true},
        {{"rename", "PACK", "a/f1", "g1"}, true},
        {{"rm", "PACK", "b/f6"}, true},
        {{"mkdir", "PACK", "c"}, false},
    };
    for (const auto& edit : edits) {
        const std::string keep = xfs.Root() + "/old.epk";
        ASSERT_EQ(::link(shared.c_str(), keep.c_str()), 0);
        const uint64_t before = xfs.UsedBytes();
        for (const std::string& pack : {shared, copied}) {
            std::vector<std::string> args = edit.args;
            args[1] = pack;
            const EpkRun run = Epk(args);
            ASSERT_EQ(run.status, 0) << edit.args[0] << ": " << run.err;
        }
        const uint64_t added = xfs.UsedBytes() - before;
        ::unlink(keep.c_str());
        EXPECT_EQ(ReadFileBytes(shared), ReadFileBytes(copied)) << edit.args[0];
        if (edit.shares)
            EXPECT_LT(added, 1u << 20) << edit.args[0];
        else
            EXPECT_GT(added, 24u << 20) << edit.args[0];
    }
}

}  // namespace
}  // namespace tarvex
