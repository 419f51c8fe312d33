#include "tools/epk/FuseMount.h"

#define FUSE_USE_VERSION 312
#include <fuse_lowlevel.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <vector>

#include "base/SystemErrorText.h"
#include "talk/Messages.h"
#include "threads/ThreadPool.h"
#include "tools/epk/Console.h"
#include "tools/epk/ReadAhead.h"

namespace tarvex::epk {
namespace {

constexpr const char* kCannotMount = "无法把文件包挂载到“%s”！\n%s";
constexpr const char* kCannotServe = "挂载在“%s”的文件包无法继续提供服务：%s";
constexpr const char* kCannotDetach = "无法转到后台运行，已经卸载“%s”。";

// Nothing in a mounted pack ever changes: names, sizes and contents may be
// cached by the kernel for as long as it likes.
constexpr double kCacheSeconds = 86400;
// Threads that answer calls, at least: readers waiting for a file's
// decoding or for the disk leave the others to answer.
constexpr unsigned kLeastServingThreads = 4;

struct Served {
    PackFileSystem& fileSystem;
    fuse_session* session = nullptr;
    // Whether the kernel reads files, and lists folders, without asking to
    // open them first.
    bool opensUnasked = false;
    bool opensFoldersUnasked = false;
    ReadAhead* ahead = nullptr;
};

PackFileSystem& FileSystem(fuse_req_t request)
{
    return static_cast<Served*>(fuse_req_userdata(request))->fileSystem;
}

// The root is inode 1 and node 0.
uint32_t NodeOf(fuse_ino_t inode)
{
    return static_cast<uint32_t>(inode - 1);
}

bool IsNode(fuse_req_t request, fuse_ino_t inode)
{
    return inode >= 1 && inode - 1 < FileSystem(request).Tree().NodeCount();
}

// Hands the kernel item `node`'s bytes from `from` on, for its page cache.
// Refused when the kernel has let go of the item: then the program reads it
// when it comes to it.
void Store(fuse_session* session, uint32_t node, const ByteBuffer& bytes, size_t from)
{
    fuse_bufvec stored = FUSE_BUFVEC_INIT(bytes.size() - from);
    stored.buf[0].mem = const_cast<uint8_t*>(bytes.data() + from);
    fuse_lowlevel_notify_store(session, node + 1, static_cast<off_t>(from), &stored,
                               static_cast<fuse_buf_copy_flags>(0));
}

void Init(void* served, fuse_conn_info* connection)
{
    // Listings always carry the attributes: a tree walk then asks nothing
    // per item.
    if (connection->capable & FUSE_CAP_READDIRPLUS) connection->want |= FUSE_CAP_READDIRPLUS;
    connection->want &= ~FUSE_CAP_READDIRPLUS_AUTO;
    // Opening a file holds nothing here; where the kernel can, it skips the
    // open (and its release) and only reads.
    static_cast<Served*>(served)->opensUnasked = (connection->capable & FUSE_CAP_NO_OPEN_SUPPORT) != 0;
    // Such a folder's listing is kept by the kernel, as OpenDir asks.
    static_cast<Served*>(served)->opensFoldersUnasked = (connection->capable & FUSE_CAP_NO_OPENDIR_SUPPORT) != 0;
}

fuse_entry_param EntryOf(const struct stat& st)
{
    fuse_entry_param entry{};
    entry.ino = st.st_ino;
    entry.attr = st;
    entry.attr_timeout = entry.entry_timeout = kCacheSeconds;
    return entry;
}

void Lookup(fuse_req_t request, fuse_ino_t parent, const char* name)
{
    if (!IsNode(request, parent)) return static_cast<void>(fuse_reply_err(request, ENOENT));
    struct stat st {};
    const int result = FileSystem(request).Lookup(NodeOf(parent), name, st);
    if (result == -ENOENT) {
        // A name that is not there stays not there.
        fuse_entry_param missing{};
        missing.entry_timeout = kCacheSeconds;
        fuse_reply_entry(request, &missing);
    } else if (result < 0) {
        fuse_reply_err(request, -result);
    } else {
        const fuse_entry_param entry = EntryOf(st);
        fuse_reply_entry(request, &entry);
    }
}

void GetAttr(fuse_req_t request, fuse_ino_t inode, fuse_file_info*)
{
    if (!IsNode(request, inode)) return static_cast<void>(fuse_reply_err(request, ENOENT));
    struct stat st {};
    FileSystem(request).Fill(NodeOf(inode), st);
    fuse_reply_attr(request, &st, kCacheSeconds);
}

void OpenDir(fuse_req_t request, fuse_ino_t inode, fuse_file_info* info)
{
    if (static_cast<Served*>(fuse_req_userdata(request))->opensFoldersUnasked)
        return static_cast<void>(fuse_reply_err(request, ENOSYS));  // this open, and all after it, succeed
    if (!IsNode(request, inode)) return static_cast<void>(fuse_reply_err(request, ENOENT));
    if (!FileSystem(request).Tree().Node(NodeOf(inode)).folder)
        return static_cast<void>(fuse_reply_err(request, ENOTDIR));
    info->cache_readdir = 1;
    info->keep_cache = 1;
    fuse_reply_open(request, info);
}

// Items `offset` on of a folder: ".", "..", then its children; each entry's
// offset is the number of the next.
void ListFolder(fuse_req_t request, fuse_ino_t inode, size_t size, off_t offset, bool withAttributes)
{
    const PackFileSystem& fs = FileSystem(request);
    const uint32_t folder = NodeOf(inode);
    const std::vector<uint32_t>& children = fs.Tree().Node(folder).children;
    std::vector<char> reply(size);
    size_t used = 0;
    for (size_t item = static_cast<size_t>(std::max<off_t>(offset, 0)); item < children.size() + 2; ++item) {
        const uint32_t node = item < 2 ? folder : children[item - 2];
        const char* name = item == 0 ? "." : item == 1 ? ".." : fs.Tree().Node(node).name.c_str();
        struct stat st {};
        fs.Fill(node, st);
        const auto next = static_cast<off_t>(item + 1);
        size_t needed = 0;
        if (withAttributes) {
            const fuse_entry_param entry = EntryOf(st);
            needed = fuse_add_direntry_plus(request, reply.data() + used, size - used, name, &entry, next);
        } else {
            needed = fuse_add_direntry(request, reply.data() + used, size - used, name, &st, next);
        }
        if (needed > size - used) break;
        used += needed;
    }
    ReadAhead* ahead = static_cast<Served*>(fuse_req_userdata(request))->ahead;
    fuse_reply_buf(request, reply.data(), used);  // the request is gone after it
    // A listing with attributes makes the kernel hold the items listed; it
    // has taken in every earlier part of the listing by the time it asks
    // for the (empty) part after the last item.
    if (used == 0 && withAttributes && ahead) ahead->Listed(folder);
}

void ReadDir(fuse_req_t request, fuse_ino_t inode, size_t size, off_t offset, fuse_file_info*)
{
    ListFolder(request, inode, size, offset, false);
}

void ReadDirPlus(fuse_req_t request, fuse_ino_t inode, size_t size, off_t offset, fuse_file_info*)
{
    ListFolder(request, inode, size, offset, true);
}

void Open(fuse_req_t request, fuse_ino_t inode, fuse_file_info* info)
{
    if (static_cast<Served*>(fuse_req_userdata(request))->opensUnasked)
        return static_cast<void>(fuse_reply_err(request, ENOSYS));  // this open, and all after it, succeed
    if (!IsNode(request, inode)) return static_cast<void>(fuse_reply_err(request, ENOENT));
    const int result = FileSystem(request).Open(NodeOf(inode), info->flags);
    if (result < 0) return static_cast<void>(fuse_reply_err(request, -result));
    info->keep_cache = 1;
    fuse_reply_open(request, info);
}

void Read(fuse_req_t request, fuse_ino_t inode, size_t size, off_t offset, fuse_file_info*)
{
    if (!IsNode(request, inode)) return static_cast<void>(fuse_reply_err(request, ENOENT));
    if (offset < 0) return static_cast<void>(fuse_reply_err(request, EINVAL));
    const Served& served = *static_cast<Served*>(fuse_req_userdata(request));
    const uint32_t node = NodeOf(inode);
    if (served.ahead && offset == 0) served.ahead->Reading(node);
    FilePiece piece;
    const int result = served.fileSystem.Read(node, static_cast<uint64_t>(offset), size, piece);
    if (result < 0) return static_cast<void>(fuse_reply_err(request, -result));
    fuse_reply_buf(request, reinterpret_cast<const char*>(piece.bytes.data()), piece.bytes.size());
    // The kernel asks for a file's start, then for the rest bit by bit: it
    // is handed the rest at once.
    if (offset == 0 && piece.whole && piece.whole->size() > piece.bytes.size()) {
        Store(served.session, node, *piece.whole, piece.bytes.size());
        served.fileSystem.Stored(node);
    }
}

void StatFs(fuse_req_t request, fuse_ino_t)
{
    struct statvfs st {};
    FileSystem(request).StatFs(st);
    fuse_reply_statfs(request, &st);
}

fuse_lowlevel_ops Operations()
{
    fuse_lowlevel_ops operations{};
    operations.init = Init;
    operations.lookup = Lookup;
    operations.getattr = GetAttr;
    operations.opendir = OpenDir;
    operations.readdir = ReadDir;
    operations.readdirplus = ReadDirPlus;
    operations.open = Open;
    operations.read = Read;
    operations.statfs = StatFs;
    return operations;
}

// What the library says while the mount is made, kept to be told as the
// reason of a failure; afterwards its words go to standard error.
std::string* libraryWords = nullptr;

void LogLibraryWords(fuse_log_level, const char* format, va_list args)
{
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    if (libraryWords) {
        *libraryWords += text;
    } else {
        PrintErr(text);
    }
}

// A mount option's value with the separators of the option list escaped.
std::string OptionValue(const std::string& text)
{
    std::string escaped;
    for (char c : text) {
        if (c == ',' || c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

struct DestroySession {
    void operator()(fuse_session* session) const { fuse_session_destroy(session); }
};

struct DestroyLoopConfig {
    void operator()(fuse_loop_config* config) const { fuse_loop_cfg_destroy(config); }
};

// Unmounts on the way out, whatever ended the serving.
struct MountedAt {
    fuse_session* session;
    ~MountedAt() { fuse_session_unmount(session); }
};

struct SignalHandlers {
    fuse_session* session;
    ~SignalHandlers() { fuse_remove_signal_handlers(session); }
};

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace

bool ServeMount(PackFileSystem& fileSystem, const MountOptions& options, IPrompt& prompt)
{
    static const fuse_lowlevel_ops operations = Operations();
    std::vector<std::string> words = {"epk", "-o",
                                      "ro,default_permissions,subtype=epk,fsname=" + OptionValue(options.packPath)};
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    fuse_args args = FUSE_ARGS_INIT(static_cast<int>(argv.size()), argv.data());

    std::string said;
    libraryWords = &said;
    fuse_set_log_func(LogLibraryWords);
    Served served{fileSystem};
    std::unique_ptr<fuse_session, DestroySession> session(
        fuse_session_new(&args, &operations, sizeof operations, &served));
    fuse_opt_free_args(&args);
    const bool mounted = session && fuse_session_mount(session.get(), options.mountPoint.c_str()) == 0;
    libraryWords = nullptr;
    if (!mounted) {
        prompt.Tell(Printf(kCannotMount, options.mountPoint.c_str(), Trimmed(said).c_str()), MsgIcon::Error);
        return false;
    }
    const MountedAt mountedAt{session.get()};
    if (fuse_set_signal_handlers(session.get()) != 0) {
        prompt.Tell(Printf(kCannotServe, options.mountPoint.c_str(), SystemErrorText(errno).c_str()), MsgIcon::Error);
        return false;
    }
    const SignalHandlers handlers{session.get()};
    if (!options.foreground) {
        std::fflush(stdout);
        std::fflush(stderr);
        if (fuse_daemonize(0) != 0) {
            prompt.Tell(Printf(kCannotDetach, options.mountPoint.c_str()), MsgIcon::Error);
            return false;
        }
    }
    served.session = session.get();
    ReadAhead ahead(
        fileSystem.Tree(), [&](uint32_t node) { return fileSystem.ReadAhead(node); },
        [&](uint32_t node, const ByteBuffer& bytes) {
            Store(session.get(), node, bytes, 0);
            fileSystem.Stored(node);
        });
    served.ahead = &ahead;
    const std::unique_ptr<fuse_loop_config, DestroyLoopConfig> loop(fuse_loop_cfg_create());
    const auto threads =
        std::max(kLeastServingThreads, static_cast<unsigned>(2 * ThreadPool::Shared().Threads()));
    fuse_loop_cfg_set_max_threads(loop.get(), threads);
    fuse_loop_cfg_set_idle_threads(loop.get(), threads);
    fuse_loop_cfg_set_clone_fd(loop.get(), 1);
    // Ends with 0 when unmounted, with the signal's number when told to stop.
    const int ended = fuse_session_loop_mt(session.get(), loop.get());
    if (ended < 0) {
        prompt.Tell(Printf(kCannotServe, options.mountPoint.c_str(), SystemErrorText(-ended).c_str()),
                    MsgIcon::Error);
        return false;
    }
    return true;
}

}  // namespace tarvex::epk
