#include "tools/epk/PackFileSystem.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>

namespace tarvex::epk {
namespace {

constexpr uint64_t kBlockBytes = 4096;

}  // namespace

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

int PackFileSystem::GetAttr(std::string_view path, struct stat& st) const
{
    const std::optional<uint32_t> node = tree_.Find(path);
    if (!node) return -ENOENT;
    Fill(*node, st);
    return 0;
}

int PackFileSystem::ReadDir(std::string_view path, const DirFiller& add) const
{
    const std::optional<uint32_t> node = tree_.Find(path);
    if (!node) return -ENOENT;
    if (!tree_.Node(*node).folder) return -ENOTDIR;
    struct stat st {};
    Fill(*node, st);
    add(".", st);
    add("..", st);
    for (uint32_t child : tree_.Node(*node).children) {
        Fill(child, st);
        add(tree_.Node(child).name.c_str(), st);
    }
    return 0;
}

int PackFileSystem::Open(std::string_view path, int flags, uint64_t& handle)
{
    const std::optional<uint32_t> found = tree_.Find(path);
    if (!found) return -ENOENT;
    const MountNode& node = tree_.Node(*found);
    if (node.folder) return -EISDIR;
    if ((flags & O_ACCMODE) != O_RDONLY || (flags & O_TRUNC)) return -EROFS;
    if (!pack_.Unchanged()) return -EIO;
    handle = *found;
    if (extractor_.StoredAsIs(node.entry)) return 0;
    const auto held = held_.find(*found);
    if (held != held_.end()) {
        ++held->second.opens;
        return 0;
    }
    HeldFile file;
    if (!extractor_.Decode(node.entry, file.bytes)) return -EIO;  // reported by the extractor
    file.opens = 1;
    held_.emplace(*found, std::move(file));
    return 0;
}

int PackFileSystem::Read(uint64_t handle, std::span<uint8_t> out, uint64_t offset)
{
    const MountNode& node = tree_.Node(static_cast<uint32_t>(handle));
    if (offset >= node.size) return 0;
    out = out.first(static_cast<size_t>(std::min<uint64_t>(out.size(), node.size - offset)));
    out = out.first(std::min<size_t>(out.size(), INT_MAX));
    const auto held = held_.find(static_cast<uint32_t>(handle));
    if (held != held_.end()) {
        std::memcpy(out.data(), held->second.bytes.data() + offset, out.size());
    } else if (!pack_.Unchanged() || !extractor_.ReadAsIs(node.entry, offset, out)) {
        return -EIO;  // reported by the check or the extractor
    }
    return static_cast<int>(out.size());
}

void PackFileSystem::Release(uint64_t handle)
{
    const auto held = held_.find(static_cast<uint32_t>(handle));
    if (held != held_.end() && --held->second.opens == 0) held_.erase(held);
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
