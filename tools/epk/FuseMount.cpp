#include "tools/epk/FuseMount.h"

#define FUSE_USE_VERSION 35
#include <fuse.h>

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <vector>

#include "base/SystemErrorText.h"
#include "talk/Messages.h"
#include "tools/epk/Console.h"

namespace tarvex::epk {
namespace {

constexpr const char* kCannotMount = "无法把文件包挂载到%s！\n%s";
constexpr const char* kCannotServe = "挂载在%s的文件包无法继续提供服务：%s";
constexpr const char* kCannotDetach = "无法转到后台运行，已经卸载%s。";

// Nothing in a mounted pack ever changes: names, sizes and contents may be
// cached by the kernel for as long as it likes.
constexpr double kCacheSeconds = 86400;

PackFileSystem& FileSystem()
{
    return *static_cast<PackFileSystem*>(fuse_get_context()->private_data);
}

void* Init(fuse_conn_info*, fuse_config* config)
{
    config->use_ino = 1;
    config->kernel_cache = 1;
    config->entry_timeout = config->attr_timeout = config->negative_timeout = kCacheSeconds;
    return fuse_get_context()->private_data;
}

int GetAttr(const char* path, struct stat* st, fuse_file_info*)
{
    return FileSystem().GetAttr(path, *st);
}

int ReadDir(const char* path, void* buffer, fuse_fill_dir_t filler, off_t, fuse_file_info*, fuse_readdir_flags)
{
    return FileSystem().ReadDir(path, [&](const char* name, const struct stat& st) {
        filler(buffer, name, &st, 0, static_cast<fuse_fill_dir_flags>(0));
    });
}

int Open(const char* path, fuse_file_info* info)
{
    uint64_t handle = 0;
    const int result = FileSystem().Open(path, info->flags, handle);
    info->fh = handle;
    info->keep_cache = 1;
    return result;
}

int Read(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* info)
{
    if (offset < 0) return -EINVAL;
    return FileSystem().Read(info->fh, {reinterpret_cast<uint8_t*>(buffer), size}, static_cast<uint64_t>(offset));
}

int Release(const char*, fuse_file_info* info)
{
    FileSystem().Release(info->fh);
    return 0;
}

int StatFs(const char*, struct statvfs* st)
{
    FileSystem().StatFs(*st);
    return 0;
}

fuse_operations Operations()
{
    fuse_operations operations{};
    operations.init = Init;
    operations.getattr = GetAttr;
    operations.readdir = ReadDir;
    operations.open = Open;
    operations.read = Read;
    operations.release = Release;
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

struct DestroyFuse {
    void operator()(fuse* f) const { fuse_destroy(f); }
};

// Unmounts on the way out, whatever ended the serving.
struct MountedAt {
    fuse* f;
    ~MountedAt() { fuse_unmount(f); }
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
    static const fuse_operations operations = Operations();
    std::vector<std::string> words = {"epk", "-o",
                                      "ro,default_permissions,subtype=epk,fsname=" + OptionValue(options.packPath)};
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    fuse_args args = FUSE_ARGS_INIT(static_cast<int>(argv.size()), argv.data());

    std::string said;
    libraryWords = &said;
    fuse_set_log_func(LogLibraryWords);
    std::unique_ptr<fuse, DestroyFuse> f(fuse_new(&args, &operations, sizeof operations, &fileSystem));
    fuse_opt_free_args(&args);
    const bool mounted = f && fuse_mount(f.get(), options.mountPoint.c_str()) == 0;
    libraryWords = nullptr;
    if (!mounted) {
        prompt.Tell(Printf(kCannotMount, options.mountPoint.c_str(), Trimmed(said).c_str()), MsgIcon::Error);
        return false;
    }
    const MountedAt mountedAt{f.get()};
    fuse_session* session = fuse_get_session(f.get());
    if (fuse_set_signal_handlers(session) != 0) {
        prompt.Tell(Printf(kCannotServe, options.mountPoint.c_str(), SystemErrorText(errno).c_str()), MsgIcon::Error);
        return false;
    }
    const SignalHandlers handlers{session};
    if (!options.foreground) {
        std::fflush(stdout);
        std::fflush(stderr);
        if (fuse_daemonize(0) != 0) {
            prompt.Tell(Printf(kCannotDetach, options.mountPoint.c_str()), MsgIcon::Error);
            return false;
        }
    }
    // Ends with 0 when unmounted, with the signal's number when told to stop.
    const int served = fuse_loop(f.get());
    if (served < 0) {
        prompt.Tell(Printf(kCannotServe, options.mountPoint.c_str(), SystemErrorText(-served).c_str()),
                    MsgIcon::Error);
        return false;
    }
    return true;
}

}  // namespace tarvex::epk
