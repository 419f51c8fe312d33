#include "tools/epk/PackFileSystem.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>

namespace tarvex::epk {
namespace {

constexpr uint64_t kBlockBytes = 4096;
// Decoded files kept while they are read, at most, besides the one read last.
constexpr uint64_t kKeptDecodedBytes = 64 << 20;
// Files stored as they are and bigger than this are read piece by piece
// where the kernel asks (a program may want only their start); smaller ones
// are read whole, so that the kernel can be handed all of one at its first
// read.
constexpr uint64_t kLargestKeptWhole = 1 << 20;

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

PackExtractor& PackFileSystem::ExtractorOfThisThread(bool quietly)
{
    const std::lock_guard<std::mutex> hold(twinsGuard_);
    std::unique_ptr<PackExtractor>& own = twins_[{std::this_thread::get_id(), quietly}];
    if (!own) own = first_.Twin(quietly ? static_cast<IPrompt&>(quiet_) : prompt_);
    return *own;
}

bool PackFileSystem::Whole(const MountNode& node, ByteBuffer& out, bool quietly)
{
    // Checked before, to fail at once, and after, so that bytes read while
    // another program wrote over the pack are never given out. Reported by
    // the check.
    if (!pack_.Unchanged()) return false;
    bool read = false;
    if (first_.StoredAsIs(node.entry)) {
        std::optional<ByteBuffer> bytes = ByteBuffer::Allocate(node.size);
        read = bytes && ExtractorOfThisThread(quietly).ReadAsIs(node.entry, 0, bytes->span());
        if (read) out = std::move(*bytes);
    } else if (first_.DecodesOnAnyThread(node.entry)) {
        read = ExtractorOfThisThread(quietly).Decode(node.entry, out);
    } else if (!quietly) {
        const std::lock_guard<std::mutex> hold(firstInUse_);
        read = first_.Decode(node.entry, out);
    }
    return read && pack_.Unchanged();
}

int PackFileSystem::Open(uint32_t index, int flags)
{
    if (tree_.Node(index).folder) return -EISDIR;
    if ((flags & O_ACCMODE) != O_RDONLY || (flags & O_TRUNC)) return -EROFS;
    return pack_.Unchanged() ? 0 : -EIO;
}

int PackFileSystem::Read(uint32_t index, uint64_t offset, size_t size, FilePiece& piece)
{
    const MountNode& node = tree_.Node(index);
    if (node.folder) return -EISDIR;
    piece = {};
    if (offset >= node.size) return 0;
    const auto count = static_cast<size_t>(std::min<uint64_t>({size, node.size - offset, INT_MAX}));
    if (first_.StoredAsIs(node.entry) && node.size > kLargestKeptWhole) {
        thread_local std::vector<uint8_t> buffer;
        buffer.resize(std::max(buffer.size(), count));
        const std::span<uint8_t> out(buffer.data(), count);
        // Checked before and after, as in Whole.
        if (!pack_.Unchanged() || !ExtractorOfThisThread(false).ReadAsIs(node.entry, offset, out) ||
            !pack_.Unchanged())
            return -EIO;  // reported by the check or the extractor
        piece.bytes = out;
        return static_cast<int>(count);
    }
    // Failures are reported by Whole.
    std::shared_ptr<const ByteBuffer> bytes =
        decoded_.Get(index, [&](ByteBuffer& into) { return Whole(node, into, false); });
    if (!bytes || bytes->size() < offset + count) return -EIO;
    piece.bytes = bytes->span().subspan(static_cast<size_t>(offset), count);
    piece.whole = std::move(bytes);
    return static_cast<int>(count);
}

std::shared_ptr<const ByteBuffer> PackFileSystem::ReadAhead(uint32_t index)
{
    const MountNode& node = tree_.Node(index);
    if (node.folder || (!first_.StoredAsIs(node.entry) && !first_.DecodesOnAnyThread(node.entry))) return nullptr;
    return decoded_.Get(index, [&](ByteBuffer& into) { return Whole(node, into, true); }, true);
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
