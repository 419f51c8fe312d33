#include "archive/RangeCopy.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "archive/ByteBuffer.h"

namespace tarvex {
namespace {

// A range goes over in chunks of this size: one kernel call or one mapping
// each, with progress told between them.
constexpr uint64_t kChunk = 8 << 20;
// Ranges this long are copied by several threads at once, a chunk each:
// a copy between files in memory is as fast as the cores doing it.
constexpr uint64_t kSharedCopyBytes = 32 << 20;
constexpr unsigned kMostCopyThreads = 4;
// Ranges this long whose bytes would move to another place in their page go
// through a mapping; 4096 divides every page size in use.
constexpr uint64_t kMappedCopyBytes = 1 << 20;
constexpr uint64_t kPageAlignment = 4096;
constexpr size_t kHelperScratch = 1 << 20;

// The length of the file now; threads share the file, so its own record of
// failures is not touched.
bool LengthNow(const File& file, uint64_t& length)
{
    struct stat st {};
    if (::fstat(file.Fd(), &st) != 0) return false;
    length = static_cast<uint64_t>(st.st_size);
    return true;
}

bool OutOfRoom(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

// One stretch of a range: where it is read, where it is written, how long it
// is, and how far from the start of the range it begins.
struct Stretch {
    uint64_t source;
    uint64_t target;
    uint64_t length;
    uint64_t at;
};

// Copies in the kernel for as long as it will; `done` counts what went over.
// Anything but a full disk leaves the rest to the pieces, which then tell a
// read failure from a write failure.
CopyStatus CopyInKernel(File& from, File& to, const Stretch& s, uint64_t& done, std::string& error)
{
    while (done < s.length) {
        auto in = static_cast<off_t>(s.source + done);
        auto out = static_cast<off_t>(s.target + done);
        const ssize_t n = ::copy_file_range(from.Fd(), &in, to.Fd(), &out, static_cast<size_t>(s.length - done), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && OutOfRoom(errno)) {
            error = std::strerror(errno);
            return CopyStatus::WriteFailed;
        }
        if (n <= 0) break;
        done += static_cast<uint64_t>(n);
    }
    return CopyStatus::Ok;
}

// Writes all of `bytes` at `offset`; false with errno set when it cannot.
bool WriteAllAt(File& to, const uint8_t* bytes, size_t count, uint64_t offset, size_t& written)
{
    written = 0;
    while (written < count) {
        const ssize_t n = ::pwrite(to.Fd(), bytes + written, count - written, static_cast<off_t>(offset + written));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        written += static_cast<size_t>(n);
    }
    return true;
}

// The kernel copies whole pages between files fast, and bytes that sit at
// another place in their page slowly (a pack's files start anywhere); such a
// stretch is written from a mapping of the source instead. A source that is
// cut short meanwhile makes the write fail (never a fault), and the pieces
// take over from there.
CopyStatus CopyThroughMapping(File& from, File& to, const Stretch& s, uint64_t& done, std::string& error)
{
    static const uint64_t page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
    const uint64_t at = s.source;
    // Only bytes inside the file are mapped: the rest of its last page reads
    // as zeros. What lies beyond is left to the pieces.
    uint64_t length = 0;
    if (!LengthNow(from, length) || at >= length) return CopyStatus::Ok;
    const uint64_t start = at - at % page;
    const size_t count = static_cast<size_t>(std::min(s.length, length - at));
    const size_t mapped = static_cast<size_t>(at - start) + count;
    void* view = ::mmap(nullptr, mapped, PROT_READ, MAP_SHARED | MAP_POPULATE, from.Fd(), static_cast<off_t>(start));
    if (view == MAP_FAILED) return CopyStatus::Ok;
    size_t written = 0;
    const bool whole = WriteAllAt(to, static_cast<const uint8_t*>(view) + (at - start), count, s.target, written);
    const int writeError = errno;
    ::munmap(view, mapped);
    // A file cut short while it was written from may have given zeros for
    // its lost end.
    if (!LengthNow(from, length) || length < at + written) {
        error = "unexpected end of file";
        return CopyStatus::SourceEnded;
    }
    done = written;
    if (!whole && OutOfRoom(writeError)) {
        error = std::strerror(writeError);
        return CopyStatus::WriteFailed;
    }
    return CopyStatus::Ok;
}

// Reads as much of `piece` as the file has at `offset`; the count read, or
// -1 on an error.
ssize_t ReadPiece(File& from, uint64_t offset, std::span<uint8_t> piece)
{
    size_t got = 0;
    while (got < piece.size()) {
        const ssize_t n = ::pread(from.Fd(), piece.data() + got, piece.size() - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

// Copies one stretch: in the kernel (from a mapping when its bytes move in
// their page) unless it is altered, and what is left through the pieces.
CopyStatus CopyStretch(File& from, File& to, const Stretch& s, const RangeCopy& range, bool shifted,
                       std::span<uint8_t> scratch, std::string& error)
{
    uint64_t done = 0;
    if (!range.transform) {
        CopyStatus status = shifted ? CopyThroughMapping(from, to, s, done, error) : CopyStatus::Ok;
        if (status == CopyStatus::Ok && done < s.length) status = CopyInKernel(from, to, s, done, error);
        if (status != CopyStatus::Ok || done == s.length) return status;
    }
    if (scratch.empty()) {
        error = "no buffer for the copy";
        return CopyStatus::ReadFailed;
    }
    while (done < s.length) {
        const std::span<uint8_t> piece =
            scratch.first(static_cast<size_t>(std::min<uint64_t>(scratch.size(), s.length - done)));
        const ssize_t got = ReadPiece(from, s.source + done, piece);
        if (got < 0) {
            error = std::strerror(errno);
            return CopyStatus::ReadFailed;
        }
        const std::span<uint8_t> read = piece.first(static_cast<size_t>(got));
        if (range.transform) range.transform(read, s.at + done);
        size_t written = 0;
        if (!WriteAllAt(to, read.data(), read.size(), s.target + done, written)) {
            error = std::strerror(errno);
            return CopyStatus::WriteFailed;
        }
        done += read.size();
        if (read.size() < piece.size()) {
            error = "unexpected end of file";
            return CopyStatus::SourceEnded;
        }
    }
    return CopyStatus::Ok;
}

// The chunks of one range, handed out to the threads that copy them.
class ChunkedCopy {
public:
    ChunkedCopy(File& from, File& to, const RangeCopy& range, uint64_t target)
        : from_(from), to_(to), range_(range), target_(target),
          shifted_(range.length >= kMappedCopyBytes && (range.offset - target) % kPageAlignment != 0),
          chunks_(static_cast<size_t>((range.length + kChunk - 1) / kChunk))
    {
    }

    // Copies chunks until none is left or one failed; `reports`: this is the
    // caller's thread, which tells the progress.
    void Work(std::span<uint8_t> scratch, bool reports)
    {
        for (;;) {
            const size_t chunk = next_.fetch_add(1);
            if (chunk >= chunks_ || failed_.load()) return;
            const uint64_t at = chunk * kChunk;
            const Stretch s{range_.offset + at, target_ + at, std::min(kChunk, range_.length - at), at};
            std::string error;
            const CopyStatus status = CopyStretch(from_, to_, s, range_, shifted_, scratch, error);
            if (status != CopyStatus::Ok) {
                Fail(chunk, status, std::move(error));
                return;
            }
            const uint64_t copied = copied_.fetch_add(s.length) + s.length;
            if (reports) Report(copied);
        }
    }

    // What became of the whole range: the failure of its first failed chunk.
    CopyStatus Finish(std::string& error)
    {
        if (failed_.load()) {
            error = failure_.error;
            return failure_.status;
        }
        Report(range_.length);
        return CopyStatus::Ok;
    }

private:
    struct Failure {
        size_t chunk = SIZE_MAX;
        CopyStatus status = CopyStatus::Ok;
        std::string error;
    };

    void Fail(size_t chunk, CopyStatus status, std::string error)
    {
        std::lock_guard lock(mutex_);
        failed_ = true;
        if (chunk < failure_.chunk) failure_ = {chunk, status, std::move(error)};
    }
    void Report(uint64_t copied)
    {
        if (!range_.progress || copied <= reported_) return;
        reported_ = copied;
        range_.progress(copied);
    }

    File& from_;
    File& to_;
    const RangeCopy& range_;
    const uint64_t target_;
    const bool shifted_;
    const size_t chunks_;
    std::atomic<size_t> next_{0};
    std::atomic<uint64_t> copied_{0};
    std::atomic<bool> failed_{false};
    std::mutex mutex_;
    Failure failure_;
    uint64_t reported_ = 0;  // only the caller's thread reports
};

}  // namespace

CopyStatus CopyRange(File& from, File& to, const RangeCopy& range, std::span<uint8_t> scratch, std::string& error)
{
    const off_t start = ::lseek(to.Fd(), 0, SEEK_CUR);
    if (start < 0) {
        error = std::strerror(errno);
        return CopyStatus::WriteFailed;
    }
    ChunkedCopy copy(from, to, range, static_cast<uint64_t>(start));
    std::vector<ByteBuffer> scratches;
    std::vector<std::thread> helpers;
    if (range.length >= kSharedCopyBytes) {
        const unsigned threads = std::min(std::max(1u, std::thread::hardware_concurrency()), kMostCopyThreads);
        for (unsigned t = 1; t < threads; ++t) {
            std::optional<ByteBuffer> own = ByteBuffer::Allocate(kHelperScratch);
            if (!own) break;
            scratches.push_back(std::move(*own));
        }
        for (ByteBuffer& own : scratches) helpers.emplace_back([&copy, &own] { copy.Work(own.span(), false); });
    }
    copy.Work(scratch, true);
    for (std::thread& helper : helpers) helper.join();
    const CopyStatus status = copy.Finish(error);
    if (status != CopyStatus::Ok) return status;
    if (::lseek(to.Fd(), start + static_cast<off_t>(range.length), SEEK_SET) < 0) {
        error = std::strerror(errno);
        return CopyStatus::WriteFailed;
    }
    return CopyStatus::Ok;
}

bool HasByteAt(File& file, uint64_t offset)
{
    uint8_t byte;
    ssize_t n;
    do {
        n = ::pread(file.Fd(), &byte, 1, static_cast<off_t>(offset));
    } while (n < 0 && errno == EINTR);
    return n == 1;
}

}  // namespace tarvex
