#include "tools/epk/PackFileSystem.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>

namespace tarvex::epk {
namespace {

constexpr uint64_t kBlockBytes = 4096;
// Decoded files kept while they are read, at most, besides the one read last.
constexpr uint64_t kKeptDecodedBytes = 64 << 20;

}  // namespace

PackFileSystem::PackFileSystem(PackExtractor& extractor, HeldPackFile& pack, MountTree tree,
                               MountAttributes attributes, IPrompt& prompt)
    : first_(extractor),
      pack_(pack),
      tree_(std::move(tree)),
      attributes_(attributes),
      prompt_(prompt),
      decoded_(kKeptDecodedBytes)
{
}

void PackFileSystem::Fill(uint32_t index, struct stat& st) const
{
    const MountNode& node = tree_.Node(index);
    st = {};
    st.st_ino = index + 1;
    st.st_uid = attributes_.uid;
    st.st_gid = attributes_.gid;
    st.st_atim = st.st_mtim = st.st_ctim = attributes_.time;
    if (node.folder) {
        st.st_mode = S_IFDIR | attributes_.folderMode;
        st.st_nlink = 2 + node.subfolders;
    } else {
        st.st_mode = S_IFREG | attributes_.fileMode;
        st.st_nlink = 1;
        st.st_size = static_cast<off_t>(node.size);
        st.st_blocks = static_cast<blkcnt_t>((node.size + 511) / 512);
    }
}

int PackFileSystem::Lookup(uint32_t folder, std::string_view name, struct stat& st) const
{
    if (!tree_.Node(folder).folder) return -ENOTDIR;
    const std::optional<uint32_t> node = tree_.Child(folder, name);
    if (!node) return -ENOENT;
    Fill(*node, st);
    return 0;
}

PackExtractor& PackFileSystem::ExtractorOfThisThread()
{
    const std::lock_guard<std::mutex> hold(twinsGuard_);
    std::unique_ptr<PackExtractor>& own = twins_[std::this_thread::get_id()];
    if (!own) own = first_.Twin(prompt_);
    return *own;
}

bool PackFileSystem::Decode(size_t entry, ByteBuffer& out)
{
    if (first_.DecodesOnAnyThread(entry)) return ExtractorOfThisThread().Decode(entry, out);
    const std::lock_guard<std::mutex> hold(firstInUse_);
    return first_.Decode(entry, out);
}

int PackFileSystem::Open(uint32_t index, int flags)
{
    if (tree_.Node(index).folder) return -EISDIR;
    if ((flags & O_ACCMODE) != O_RDONLY || (flags & O_TRUNC)) return -EROFS;
    return pack_.Unchanged() ? 0 : -EIO;
}

int PackFileSystem::Read(uint32_t index, std::span<uint8_t> out, uint64_t offset)
{
    const MountNode& node = tree_.Node(index);
    if (node.folder) return -EISDIR;
    if (offset >= node.size) return 0;
    out = out.first(static_cast<size_t>(std::min<uint64_t>(out.size(), node.size - offset)));
    out = out.first(std::min<size_t>(out.size(), INT_MAX));
    if (first_.StoredAsIs(node.entry)) {
        if (!pack_.Unchanged() || !ExtractorOfThisThread().ReadAsIs(node.entry, offset, out))
            return -EIO;  // reported by the check or the extractor
        return static_cast<int>(out.size());
    }
    // Reported by the check or the extractor.
    const std::shared_ptr<const ByteBuffer> bytes =
        decoded_.Get(index, [&](ByteBuffer& into) { return pack_.Unchanged() && Decode(node.entry, into); });
    if (!bytes) return -EIO;
    std::memcpy(out.data(), bytes->data() + offset, out.size());
    return static_cast<int>(out.size());
}

bool PackFileSystem::ReadAhead(uint32_t index, ByteBuffer& out)
{
    const MountNode& node = tree_.Node(index);
    if (node.folder || !first_.DecodesOnAnyThread(node.entry) || !pack_.Unchanged()) return false;
    if (!ahead_) ahead_ = first_.Twin(quiet_);
    if (!first_.StoredAsIs(node.entry)) return ahead_->Decode(node.entry, out);
    std::optional<ByteBuffer> bytes = ByteBuffer::Allocate(node.size);
    if (!bytes || !ahead_->ReadAsIs(node.entry, 0, bytes->span())) return false;
    out = std::move(*bytes);
    return true;
}

void PackFileSystem::StatFs(struct statvfs& st) const
{
    st = {};
    st.f_bsize = st.f_frsize = kBlockBytes;
    st.f_blocks = (attributes_.packBytes + kBlockBytes - 1) / kBlockBytes;
    st.f_files = tree_.NodeCount();
    st.f_namemax = NAME_MAX;
    st.f_flag = ST_RDONLY;
}

}  // namespace tarvex::epk
