#include "archive/SafeFileWriter.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvex {
namespace {

constexpr size_t kBufferSize = 1 << 20;

// A target given through a symbolic link is replaced where the link points,
// so the link keeps working.
std::string ResolveTarget(const std::string& target)
{
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(target.c_str(), resolved)) return resolved;
    }
    return target;
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

bool SafeFileWriter::Open(const std::string& target)
{
    Abandon();
    target_ = ResolveTarget(target);
    // A short name, so that a target whose own name is near the length limit
    // still gets a temporary file.
    std::string pattern = DirectoryOf(target_) + "/.tarvex-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return Fail(std::strerror(errno));
    file_.Adopt(fd);
    tempPath_ = name.data();
    buffer_.clear();
    buffer_.reserve(kBufferSize);
    position_ = 0;
    return true;
}

bool SafeFileWriter::Flush()
{
    if (buffer_.empty()) return true;
    if (!file_.WriteAll(buffer_)) return Fail(file_.Error());
    buffer_.clear();
    return true;
}

bool SafeFileWriter::Write(std::span<const uint8_t> bytes)
{
    if (!file_.IsOpen()) return Fail("the file is not open");
    position_ += bytes.size();
    if (buffer_.size() + bytes.size() <= kBufferSize) {
        buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
        return true;
    }
    if (!Flush()) return false;
    if (bytes.size() < kBufferSize) {
        buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
        return true;
    }
    return file_.WriteAll(bytes) || Fail(file_.Error());
}

bool SafeFileWriter::Commit(bool durable)
{
    if (!file_.IsOpen()) return Fail("the file is not open");
    if (!Flush()) return false;

    // The new file takes the mode of the one it replaces, or the usual mode
    // of a new file.
    struct stat old {};
    mode_t mode;
    if (::stat(target_.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(file_.Fd(), mode) != 0) return Fail(std::strerror(errno));
    if (durable && !file_.Sync()) return Fail(file_.Error());
    if (!file_.Close()) return Fail(file_.Error());
    if (::rename(tempPath_.c_str(), target_.c_str()) != 0) return Fail(std::strerror(errno));
    tempPath_.clear();

    if (!durable) return true;
    // Make the rename itself durable.
    const int dirFd = ::open(DirectoryOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        File dir;
        dir.Adopt(dirFd);
        dir.Sync();
    }
    return true;
}

void SafeFileWriter::Abandon()
{
    file_.Close();
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
    }
    buffer_.clear();
}

}  // namespace tarvex
