#include "platform/SafeFileWriter.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "base/Printf.h"
#include "base/SystemErrorText.h"

namespace tarvex {
namespace {

constexpr size_t kBufferSize = 1 << 20;

std::string DirectoryOf(const std::string& path);

// A target given through a symbolic link is replaced where the link points
// (also when nothing is there yet), so the link keeps working.
std::string ResolveTarget(std::string target)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        char link[PATH_MAX];
        const ssize_t n = ::readlink(target.c_str(), link, sizeof link - 1);
        if (n <= 0) break;
        const std::string points(link, static_cast<size_t>(n));
        target = points[0] == '/' ? points : DirectoryOf(target) + "/" + points;
    }
    return target;
}

// A name for the temporary file: a short one, so that a target whose own
// name is near the length limit still gets one.
std::string TempName()
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    uint8_t random[8];
    if (::getentropy(random, sizeof random) != 0) std::memset(random, 0, sizeof random);
    std::string name = ".tarvex-";
    for (uint8_t r : random) name += kLetters[r % (sizeof kLetters - 1)];
    return name;
}

// The process's umask, read without changing it (umask(2) can only be read
// by setting it, which would race with other threads creating files).
mode_t CurrentUmask()
{
    File status;
    char text[4096];
    if (status.OpenRead("/proc/self/status")) {
        const ssize_t n = ::read(status.Native(), text, sizeof text - 1);
        if (n > 0) {
            text[n] = '\0';
            if (const char* at = std::strstr(text, "Umask:")) return static_cast<mode_t>(std::strtoul(at + 6, nullptr, 8));
        }
    }
    return 022;
}

std::string DirectoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

SafeFileWriter::~SafeFileWriter()
{
    Abandon();
}

bool SafeFileWriter::Fail(const std::string& why)
{
    error_ = why;
    return false;
}

bool SafeFileWriter::Open(const std::string& target, Links links)
{
    Abandon();
    target_ = links == Links::WriteThrough ? ResolveTarget(target) : target;
    const int dirFd = ::open(DirectoryOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return Fail(SystemErrorText(errno));
    dir_.Adopt(dirFd);
    const size_t slash = target_.rfind('/');
    name_ = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    return Begin();
}

bool SafeFileWriter::OpenIn(const DiskFolder& folder, const std::string& name)
{
    Abandon();
    const int dirFd = ::fcntl(folder.Handle().Native(), F_DUPFD_CLOEXEC, 0);
    if (dirFd < 0) return Fail(SystemErrorText(errno));
    dir_.Adopt(dirFd);
    name_ = name;
    target_ = folder.PathOf(name);
    return Begin();
}

bool SafeFileWriter::OpenStandardOutput(const std::string& shown)
{
    Abandon();
    const int own = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    if (own < 0) return Fail(SystemErrorText(errno));
    file_.Adopt(own);
    target_ = shown;
    streaming_ = true;
    buffer_.clear();
    buffer_.reserve(kBufferSize);
    position_ = 0;
    handed_ = 0;
    return true;
}

bool SafeFileWriter::Begin()
{
    int fd = ::openat(dir_.Native(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // This file system cannot make unnamed files.
        for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
            std::string name = TempName();
            fd = ::openat(dir_.Native(), name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd >= 0) tempName_ = std::move(name);
            else if (errno != EEXIST) break;
        }
    }
    if (fd < 0) return Fail(SystemErrorText(errno));
    file_.Adopt(fd);
    buffer_.clear();
    buffer_.reserve(kBufferSize);
    position_ = 0;
    handed_ = 0;
    return true;
}

bool SafeFileWriter::Flush()
{
    if (buffer_.empty()) return true;
    if (!file_.WriteAll(buffer_)) return Fail(file_.Error());
    buffer_.clear();
    HandToDisk();
    return true;
}

// Starts writing what is written to the disk every few megabytes, without
// waiting for it: the commit's sync then finds little left to do.
void SafeFileWriter::HandToDisk()
{
    constexpr uint64_t kStep = 16 << 20;
    if (streaming_) return;
    const uint64_t written = position_ - buffer_.size();
    if (written - handed_ < kStep) return;
    ::sync_file_range(file_.Native(), static_cast<off_t>(handed_), static_cast<off_t>(written - handed_),
                      SYNC_FILE_RANGE_WRITE);
    handed_ = written;
}

bool SafeFileWriter::Write(std::span<const uint8_t> bytes)
{
    if (!file_.IsOpen()) return Fail(kFileNotOpen);
    if (buffer_.size() + bytes.size() > kBufferSize && !Flush()) return false;
    position_ += bytes.size();
    if (bytes.size() < kBufferSize) {
        buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
        return true;
    }
    if (!file_.WriteAll(bytes)) return Fail(file_.Error());
    HandToDisk();
    return true;
}

bool SafeFileWriter::Fill(const std::function<bool(File& file)>& fill, std::optional<uint64_t> length)
{
    if (!file_.IsOpen()) return Fail(kFileNotOpen);
    if (streaming_ && !length) return Fail(SystemErrorText(ESPIPE));
    if (!Flush()) return false;
    if (!fill(file_)) return false;
    if (streaming_) {
        position_ += *length;
        return true;
    }
    const off_t end = ::lseek(file_.Native(), 0, SEEK_CUR);
    if (end < 0) return Fail(SystemErrorText(errno));
    position_ = static_cast<uint64_t>(end);
    HandToDisk();
    return true;
}

bool SafeFileWriter::TruncateTo(uint64_t position)
{
    if (!file_.IsOpen()) return Fail(kFileNotOpen);
    if (streaming_) return position == position_ || Fail(SystemErrorText(ESPIPE));
    if (!Flush()) return false;
    const auto at = static_cast<off_t>(position);
    if (::ftruncate(file_.Native(), at) != 0 || ::lseek(file_.Native(), at, SEEK_SET) != at)
        return Fail(SystemErrorText(errno));
    position_ = position;
    handed_ = std::min(handed_, position);
    return true;
}

bool SafeFileWriter::Commit(const CommitRules& rules)
{
    if (!file_.IsOpen()) return Fail(kFileNotOpen);
    if (!Flush()) return false;
    if (streaming_) return (!rules.lastCheck || rules.lastCheck()) && (file_.Close() || Fail(file_.Error()));

    // A replaced file passes its mode on; an unnamed temporary file was made
    // with the usual mode of a new file, a named one needs it set.
    struct stat old {};
    const bool replacing = !rules.replaceNothing && ::fstatat(dir_.Native(), name_.c_str(), &old, 0) == 0;
    if (replacing && ::fchmod(file_.Native(), old.st_mode & 07777) != 0) return Fail(SystemErrorText(errno));
    if (!replacing && !tempName_.empty() && ::fchmod(file_.Native(), 0666 & ~CurrentUmask()) != 0)
        return Fail(SystemErrorText(errno));
    // Only a file that replaces another must reach the disk before the
    // rename: otherwise a crash could leave neither the old nor the new one.
    const bool sync = rules.durable && replacing;
    if (sync && !file_.Sync()) return Fail(file_.Error());
    if (rules.lastCheck && !rules.lastCheck()) return false;
    if (!GiveName()) return false;
    if (rules.keep) {
        const int fd = ::fcntl(file_.Native(), F_DUPFD_CLOEXEC, 0);
        if (fd < 0) return Fail(SystemErrorText(errno));
        rules.keep->Adopt(fd);
    }
    if (!file_.Close()) return Fail(file_.Error());
    if (!PutInPlace(rules.replaceNothing)) return false;

    if (sync) dir_.Sync();
    return true;
}

// Renames the complete file over the target; with replaceNothing only where
// nothing is (a file system that cannot rename so gets a hard link instead,
// which also never replaces anything).
bool SafeFileWriter::PutInPlace(bool replaceNothing)
{
    const int dir = dir_.Native();
    int rc = 0;
    if (!replaceNothing) {
        rc = ::renameat(dir, tempName_.c_str(), dir, name_.c_str());
    } else {
        rc = ::renameat2(dir, tempName_.c_str(), dir, name_.c_str(), RENAME_NOREPLACE);
        if (rc != 0 && errno == EINVAL) {
            rc = ::linkat(dir, tempName_.c_str(), dir, name_.c_str(), 0);
            if (rc == 0) ::unlinkat(dir, tempName_.c_str(), 0);
        }
    }
    if (rc != 0) return Fail(SystemErrorText(errno));
    tempName_.clear();
    return true;
}

// Links an unnamed temporary file into its folder under a fresh name, so
// that it can be renamed over the target.
bool SafeFileWriter::GiveName()
{
    if (!tempName_.empty()) return true;
    const std::string self = "/proc/self/fd/" + std::to_string(file_.Native());
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string name = TempName();
        if (::linkat(AT_FDCWD, self.c_str(), dir_.Native(), name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            tempName_ = std::move(name);
            return true;
        }
        if (errno != EEXIST) break;
    }
    return Fail(SystemErrorText(errno));
}

void SafeFileWriter::Abandon()
{
    file_.Close();
    streaming_ = false;
    if (!tempName_.empty()) {
        ::unlinkat(dir_.Native(), tempName_.c_str(), 0);
        tempName_.clear();
    }
    buffer_.clear();
}

}  // namespace tarvex
