#include "archive/RangeCopy.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace tarvex {
namespace {

// One kernel call copies at most this much, so that progress is told of a
// huge file while it goes.
constexpr uint64_t kKernelStep = 16 << 20;

bool OutOfRoom(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

// Copies in the kernel for as long as it will; `done` counts what went over.
// Anything but a full disk leaves the rest to the pieces, which then tell a
// read failure from a write failure.
CopyStatus CopyInKernel(File& from, File& to, const RangeCopy& range, uint64_t& done, std::string& error)
{
    auto in = static_cast<off_t>(range.offset);
    while (done < range.length) {
        const size_t step = static_cast<size_t>(std::min(range.length - done, kKernelStep));
        const ssize_t n = ::copy_file_range(from.Fd(), &in, to.Fd(), nullptr, step, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && OutOfRoom(errno)) {
            error = std::strerror(errno);
            return CopyStatus::WriteFailed;
        }
        if (n <= 0) break;
        done += static_cast<uint64_t>(n);
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
        const ssize_t n = ::pread(from.Fd(), piece.data() + got, piece.size() - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

}  // namespace

CopyStatus CopyRange(File& from, File& to, const RangeCopy& range, std::span<uint8_t> scratch, std::string& error)
{
    uint64_t done = 0;
    if (!range.transform) {
        const CopyStatus status = CopyInKernel(from, to, range, done, error);
        if (status != CopyStatus::Ok || done == range.length) return status;
    }
    if (done < range.length && scratch.empty()) {
        error = "no buffer for the copy";
        return CopyStatus::ReadFailed;
    }
    while (done < range.length) {
        const std::span<uint8_t> piece =
            scratch.first(static_cast<size_t>(std::min<uint64_t>(scratch.size(), range.length - done)));
        const ssize_t got = ReadPiece(from, range.offset + done, piece);
        if (got < 0) {
            error = std::strerror(errno);
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
            error = "unexpected end of file";
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
        n = ::pread(file.Fd(), &byte, 1, static_cast<off_t>(offset));
    } while (n < 0 && errno == EINTR);
    return n == 1;
}

}  // namespace tarvex
