#pragma once
// The answers of a mounted pack to the file system's calls, read-only: the
// tree as extraction writes it, a file stored as it is read straight from
// the pack at the offset asked for, a coded one decoded when it is opened and
// held (once, however often it is open) until its last release. What fails
// to decode is an input/output error, reported on standard error, never
// bytes of its own; so is every file opened, and every file stored as it is
// read, once the pack file has been written over in place (see
// HeldPackFile). Not thread-safe: the mount answers one call at a time.
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unordered_map>

#include "base/ByteBuffer.h"
#include "schemes/Extraction.h"
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

// Each call gives 0 (or a byte count) on success, a negative errno value on
// failure, as the file system's calls do.
class PackFileSystem {
public:
    PackFileSystem(PackExtractor& extractor, HeldPackFile& pack, MountTree tree, MountAttributes attributes)
        : extractor_(extractor), pack_(pack), tree_(std::move(tree)), attributes_(attributes)
    {
    }

    int GetAttr(std::string_view path, struct stat& st) const;
    using DirFiller = std::function<void(const char* name, const struct stat& st)>;
    int ReadDir(std::string_view path, const DirFiller& add) const;
    // handle: what Read and Release take.
    int Open(std::string_view path, int flags, uint64_t& handle);
    int Read(uint64_t handle, std::span<uint8_t> out, uint64_t offset);
    void Release(uint64_t handle);
    void StatFs(struct statvfs& st) const;

private:
    struct HeldFile {
        ByteBuffer bytes;
        unsigned opens = 0;
    };
    void Fill(uint32_t node, struct stat& st) const;

    PackExtractor& extractor_;
    HeldPackFile& pack_;
    const MountTree tree_;
    const MountAttributes attributes_;
    std::unordered_map<uint32_t, HeldFile> held_;  // coded files open, by node
};

}  // namespace tarvex::epk
