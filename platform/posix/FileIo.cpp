#include "platform/FileIo.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <utility>

#include "base/Printf.h"
#include "base/SystemErrorText.h"
#include "platform/posix/PosixFiles.h"

namespace tarvex {

File::~File()
{
    if (file_ >= 0) ::close(file_);
}

File::File(File&& other) noexcept
    : file_(std::exchange(other.file_, -1)), error_(std::move(other.error_)), notRegular_(other.notRegular_)
{
}

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        Close();
        file_ = std::exchange(other.file_, -1);
        error_ = std::move(other.error_);
        notRegular_ = other.notRegular_;
    }
    return *this;
}

bool File::Fail()
{
    error_ = SystemErrorText(errno);
    return false;
}

// Keeps the descriptor just opened only when it is a regular file; `size`,
// when given, gets its length.
bool File::KeepIfRegular(uint64_t* size)
{
    struct stat st {};
    const bool known = ::fstat(file_, &st) == 0;
    if (!known) Fail();
    if (known && !RefuseType(KindOfMode(st.st_mode))) {
        if (size) *size = static_cast<uint64_t>(st.st_size);
        return true;
    }
    ::close(std::exchange(file_, -1));
    return false;
}

bool File::RefuseType(FileKind kind)
{
    const char* why = NotRegularFileText(kind);
    if (!why) return false;
    error_ = why;
    notRegular_ = true;
    return true;
}

bool File::OpenRead(const std::string& path, uint64_t* size)
{
    return OpenReadAt(AT_FDCWD, path, size);
}

bool File::OpenReadIn(const File& folder, const std::string& name, uint64_t* size)
{
    return OpenReadAt(folder.file_, name, size);
}

bool File::OpenReadUnsizedIn(const File& folder, const std::string& name)
{
    Close();
    notRegular_ = false;
    file_ = ::openat(folder.file_, name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    return file_ >= 0 ? KeepIfRegular(nullptr) : Fail();
}

bool File::OpenFolder(const std::string& path)
{
    Close();
    file_ = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return file_ >= 0 || Fail();
}

bool File::OpenReadAt(NativeFile folderFd, const std::string& name, uint64_t* size)
{
    Close();
    notRegular_ = false;
    // The type is looked at before anything is opened: opening a pipe waits
    // for a writer, and opening a device may do something of its own. The
    // open never waits either, should a pipe take the file's place in
    // between, and what it opened is looked at again.
    struct stat st {};
    if (::fstatat(folderFd, name.c_str(), &st, 0) != 0) return Fail();
    if (RefuseType(KindOfMode(st.st_mode))) return false;
    file_ = ::openat(folderFd, name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    return file_ >= 0 ? KeepIfRegular(size) : Fail();
}

bool File::CreateWrite(const std::string& path)
{
    Close();
    file_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return file_ >= 0 || Fail();
}

// Reads until `bytes` is full; `read` is one read(2)-like call at an offset
// into the request.
template <typename ReadSome>
bool File::ReadExactly(std::span<uint8_t> bytes, ReadSome read)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = read(bytes.data() + done, bytes.size() - done, done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail();
        }
        if (n == 0) {
            error_ = kFileEndedEarly;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool File::ReadAt(uint64_t offset, std::span<uint8_t> bytes)
{
    return ReadExactly(bytes, [&](uint8_t* p, size_t n, size_t done) {
        return ::pread(file_, p, n, static_cast<off_t>(offset + done));
    });
}

bool File::ReadAll(std::span<uint8_t> bytes)
{
    return ReadExactly(bytes, [&](uint8_t* p, size_t n, size_t) { return ::read(file_, p, n); });
}

// One call asks for a byte more than expected: a regular file that ends
// where expected answers short, and its end needs no second call.
File::WholeRead File::ReadToEnd(std::span<uint8_t> bytes)
{
    uint8_t extra;
    iovec parts[2] = {{bytes.data(), bytes.size()}, {&extra, 1}};
    ssize_t n;
    do {
        n = ::readv(file_, parts, 2);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        Fail();
        return WholeRead::Failed;
    }
    const auto got = static_cast<size_t>(n);
    if (got > bytes.size()) return WholeRead::Longer;
    if (got == bytes.size()) return WholeRead::Ok;
    if (!ReadAll(bytes.subspan(got))) return WholeRead::Failed;
    return ReadAll({&extra, 1}) ? WholeRead::Longer : WholeRead::Ok;
}

bool File::WriteAll(std::span<const uint8_t> bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(file_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail();
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool File::Size(uint64_t& size)
{
    struct stat st {};
    if (::fstat(file_, &st) != 0) return Fail();
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool File::Position(uint64_t& position)
{
    const off_t at = ::lseek(file_, 0, SEEK_CUR);
    if (at < 0) return Fail();
    position = static_cast<uint64_t>(at);
    return true;
}

bool File::Seek(uint64_t position)
{
    return ::lseek(file_, static_cast<off_t>(position), SEEK_SET) >= 0 || Fail();
}

void File::StartWriteBack(uint64_t offset, uint64_t length)
{
    ::sync_file_range(file_, static_cast<off_t>(offset), static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE);
}

bool File::Sync()
{
    return ::fsync(file_) == 0 || Fail();
}

bool File::Close()
{
    if (file_ < 0) return true;
    const int rc = ::close(std::exchange(file_, -1));
    return rc == 0 || Fail();
}

bool FolderOpener::HoldFolderOf(const std::string& path, size_t slash)
{
    const std::string_view folder(path.data(), slash);
    if (folder_.IsOpen() && folder == folderPath_) return true;
    folderPath_.assign(folder);
    return folder_.OpenFolder(folderPath_);
}

bool FolderOpener::OpenRead(File& file, const std::string& path, uint64_t* size)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return file.OpenRead(path, size);
    // A folder that cannot be held is left to the full path, whose failure
    // then says why.
    if (!HoldFolderOf(path, slash)) return file.OpenRead(path, size);
    return file.OpenReadIn(folder_, path.substr(slash + 1), size);
}

bool FolderOpener::OpenReadUnsized(File& file, const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash != std::string::npos && slash != 0 && HoldFolderOf(path, slash) &&
           file.OpenReadUnsizedIn(folder_, path.substr(slash + 1));
}

bool FileLength(const std::string& path, uint64_t& length)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    length = static_cast<uint64_t>(st.st_size);
    return true;
}

bool IsSameFile(const std::string& a, const std::string& b)
{
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

}  // namespace tarvex
