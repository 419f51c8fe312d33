#include "platform/RangeCopy.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "base/Printf.h"
#include "base/SystemErrorText.h"

namespace tarvex {
namespace {

// One kernel call copies at most this much, so that progress is told of a
// huge file while it goes.
constexpr uint64_t kKernelStep = 16 << 20;
// Ranges this long whose bytes would move to another place in their page go
// through a mapping; 4096 divides every page size in use.
constexpr uint64_t kMappedCopyBytes = 1 << 20;
constexpr uint64_t kPageAlignment = 4096;

bool OutOfRoom(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

// Copies in the kernel for as long as it will; `done` counts what went over.
// Anything but a full disk leaves the rest to the pieces, which then tell a
// read failure from a write failure.
CopyStatus CopyInKernel(File& from, File& to, const RangeCopy& range, uint64_t& done, std::string& error)
{
    auto in = static_cast<off_t>(range.offset + done);
    // The kernel shares blocks (reflinks) only from a block boundary of both
    // files: where the two positions are as far from one, a short step first
    // brings them onto it.
    const off_t out = ::lseek(to.Native(), 0, SEEK_CUR);
    const bool sharable = out >= 0 && (in - out) % static_cast<off_t>(kPageAlignment) == 0;
    while (done < range.length) {
        const uint64_t pastBoundary = static_cast<uint64_t>(in) % kPageAlignment;
        const uint64_t step = sharable && pastBoundary != 0 ? kPageAlignment - pastBoundary : kKernelStep;
        const size_t length = static_cast<size_t>(std::min(range.length - done, step));
        const ssize_t n = ::copy_file_range(from.Native(), &in, to.Native(), nullptr, length, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && OutOfRoom(errno)) {
            error = SystemErrorText(errno);
            return CopyStatus::WriteFailed;
        }
        if (n <= 0) break;
        done += static_cast<uint64_t>(n);
        if (range.progress) range.progress(done);
    }
    return CopyStatus::Ok;
}

// The kernel copies whole pages between files fast, and bytes that sit at
// another place in their page slowly (a pack's files start anywhere); such a
// range is written from a mapping of the source instead. A source that is
// cut short meanwhile makes the write fail (never a fault), and the pieces
// take over from there.
CopyStatus CopyThroughMapping(File& from, File& to, const RangeCopy& range, uint64_t& done, std::string& error)
{
    static const uint64_t page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
    while (done < range.length) {
        const uint64_t at = range.offset + done;
        const uint64_t start = at - at % page;
        // Only bytes inside the file are mapped: the rest of its last page
        // reads as zeros. What lies beyond is left to the pieces.
        uint64_t length = 0;
        if (!from.Size(length) || at >= length) return CopyStatus::Ok;
        const size_t step = static_cast<size_t>(std::min({range.length - done, kKernelStep, length - at}));
        const size_t mapped = static_cast<size_t>(at - start) + step;
        void* view =
            ::mmap(nullptr, mapped, PROT_READ, MAP_SHARED | MAP_POPULATE, from.Native(), static_cast<off_t>(start));
        if (view == MAP_FAILED) return CopyStatus::Ok;
        const uint8_t* bytes = static_cast<const uint8_t*>(view) + (at - start);
        size_t written = 0;
        while (written < step) {
            const ssize_t n = ::write(to.Native(), bytes + written, step - written);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            written += static_cast<size_t>(n);
        }
        const int writeError = errno;
        ::munmap(view, mapped);
        // A file cut short while it was written from may have given zeros
        // for its lost end.
        if (!from.Size(length) || length < at + written) {
            error = kFileEndedEarly;
            return CopyStatus::SourceEnded;
        }
        done += written;
        if (written < step) {
            if (!OutOfRoom(writeError)) return CopyStatus::Ok;
            error = SystemErrorText(writeError);
            return CopyStatus::WriteFailed;
        }
        if (range.progress) range.progress(done);
    }
    return CopyStatus::Ok;
}

// Reads as much of `piece` as the file has at `offset`; the count read, or
// -1 on an error.
ssize_t ReadPiece(File& from, uint64_t offset, std::span<uint8_t> piece)
{
    size_t got = 0;
    while (got < piece.size()) {
        const ssize_t n =
            ::pread(from.Native(), piece.data() + got, piece.size() - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

// Starts writing a long copy to the disk as it goes (it does not wait for
// it): a sync or a durable commit after the copy then finds little left, and
// the disk is busy while the copy still runs.
RangeCopy HandingToDisk(const RangeCopy& range, File& to, uint64_t& handed)
{
    const off_t start = range.length >= kKernelStep ? ::lseek(to.Native(), 0, SEEK_CUR) : -1;
    if (start < 0) return range;
    RangeCopy tracked = range;
    tracked.progress = [&range, &to, &handed, start](uint64_t done) {
        if (done - handed >= kKernelStep) {
            ::sync_file_range(to.Native(), start + static_cast<off_t>(handed), static_cast<off_t>(done - handed),
                              SYNC_FILE_RANGE_WRITE);
            handed = done;
        }
        if (range.progress) range.progress(done);
    };
    return tracked;
}

}  // namespace

CopyStatus CopyRange(File& from, File& to, const RangeCopy& original, std::span<uint8_t> scratch, std::string& error)
{
    uint64_t handed = 0;
    const RangeCopy range = HandingToDisk(original, to, handed);
    uint64_t done = 0;
    if (!range.transform) {
        const off_t position = range.length >= kMappedCopyBytes ? ::lseek(to.Native(), 0, SEEK_CUR) : -1;
        const bool shifted = position >= 0 && (range.offset - static_cast<uint64_t>(position)) % kPageAlignment != 0;
        CopyStatus status = shifted ? CopyThroughMapping(from, to, range, done, error) : CopyStatus::Ok;
        if (status == CopyStatus::Ok && done < range.length) status = CopyInKernel(from, to, range, done, error);
        if (status != CopyStatus::Ok || done == range.length) return status;
    }
    if (done < range.length && scratch.empty()) {
        error = SystemErrorText(ENOMEM);
        return CopyStatus::ReadFailed;
    }
    while (done < range.length) {
        const std::span<uint8_t> piece =
            scratch.first(static_cast<size_t>(std::min<uint64_t>(scratch.size(), range.length - done)));
        const ssize_t got = ReadPiece(from, range.offset + done, piece);
        if (got < 0) {
            error = SystemErrorText(errno);
            return CopyStatus::ReadFailed;
        }
        const std::span<uint8_t> read = piece.first(static_cast<size_t>(got));
        if (range.transform) range.transform(read, done);
        if (!to.WriteAll(read)) {
            error = to.Error();
            return CopyStatus::WriteFailed;
        }
        done += read.size();
        if (read.size() < piece.size()) {
            error = kFileEndedEarly;
            return CopyStatus::SourceEnded;
        }
        if (range.progress) range.progress(done);
    }
    return CopyStatus::Ok;
}

bool HasByteAt(File& file, uint64_t offset)
{
    uint8_t byte;
    ssize_t n;
    do {
        n = ::pread(file.Native(), &byte, 1, static_cast<off_t>(offset));
    } while (n < 0 && errno == EINTR);
    return n == 1;
}

}  // namespace tarvex
