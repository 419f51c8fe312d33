#pragma once
// The answers of a mounted pack to the file system's calls, read-only, by
// item (a node of the mount tree): the tree as extraction writes it, a file
// stored as it is read straight from the pack at the offset asked for, a
// coded one decoded once when it is first read and kept while it is read
// (see DecodedFiles). What fails to decode is an input/output error,
// reported on standard error, never bytes of its own; so is every file
// opened or read once the pack file has been written over in place (see
// HeldPackFile).
//
// Calls may come on several threads at once: each thread reads the pack
// through an extractor of its own, and files of a module that may be called
// from one thread only are decoded one at a time by the first extractor.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>

#include "schemes/Extraction.h"
#include "tools/epk/DecodedFiles.h"
#include "tools/epk/HeldPackFile.h"
#include "tools/epk/MountTree.h"

namespace tarvex::epk {

// What every item shows besides its size: the owner and the modes extraction
// would give (0666 and 0777 less the umask), the pack file's times.
struct MountAttributes {
    uid_t uid = 0;
    gid_t gid = 0;
    mode_t fileMode = 0644;
    mode_t folderMode = 0755;
    timespec time{};
    uint64_t packBytes = 0;
};

// Bytes of a file read: a piece of its whole bytes, kept while they are
// held, or of a buffer of the reading thread's own, valid until its next read.
struct FilePiece {
    std::shared_ptr<const ByteBuffer> whole;
    std::span<const uint8_t> bytes;
};

// Each call gives 0 (or a byte count) on success, a negative errno value on
// failure, as the file system's calls do. An item's inode number is its node
// index + 1, so the root is 1.
class PackFileSystem {
public:
    // prompt: where the extractors of the threads report; called one
    // message at a time.
    PackFileSystem(PackExtractor& extractor, HeldPackFile& pack, MountTree tree, MountAttributes attributes,
                   IPrompt& prompt);

    const MountTree& Tree() const { return tree_; }
    void Fill(uint32_t node, struct stat& st) const;
    // The item `name` in folder `folder`.
    int Lookup(uint32_t folder, std::string_view name, struct stat& st) const;
    // Only checks: reading needs no opening.
    int Open(uint32_t node, int flags);
    // At most `size` bytes from `offset` on; the byte count.
    int Read(uint32_t node, uint64_t offset, size_t size, FilePiece& piece);
    // A whole file for reading ahead, reporting nothing (the program's own
    // read of it will); nothing for a file that cannot be read so, or whose
    // module may be called from one thread only.
    std::shared_ptr<const ByteBuffer> ReadAhead(uint32_t node);
    // The kernel holds all of item `node` now: its bytes need not be kept.
    void Stored(uint32_t node) { decoded_.Drop(node); }
    void StatFs(struct statvfs& st) const;

private:
    PackExtractor& ExtractorOfThisThread(bool quietly);
    // A file's bytes, whole.
    bool Whole(const MountNode& node, ByteBuffer& out, bool quietly);

    PackExtractor& first_;
    HeldPackFile& pack_;
    const MountTree tree_;
    const MountAttributes attributes_;
    IPrompt& prompt_;

    std::mutex firstInUse_;  // the first extractor, for modules bound to one thread
    DecodedFiles decoded_;
    SilentPrompt quiet_;
    std::mutex twinsGuard_;
    std::map<std::pair<std::thread::id, bool>, std::unique_ptr<PackExtractor>> twins_;  // by thread, quietly
};

}  // namespace tarvex::epk
