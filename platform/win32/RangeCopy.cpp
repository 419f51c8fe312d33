#include "platform/RangeCopy.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>

#include "platform/win32/WindowsErrors.h"

namespace tarvex {
namespace {

// Reads as much of `piece` as the file has at `offset`; false on an error.
bool ReadPiece(File& from, uint64_t offset, std::span<uint8_t> piece, size_t& got)
{
    got = 0;
    while (got < piece.size()) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset + got);
        at.OffsetHigh = static_cast<DWORD>((offset + got) >> 32);
        DWORD n = 0;
        const auto step = static_cast<DWORD>(std::min<size_t>(piece.size() - got, 1u << 30));
        if (!::ReadFile(static_cast<HANDLE>(from.Native()), piece.data() + got, step, &n, &at)) {
            if (::GetLastError() == ERROR_HANDLE_EOF) break;
            return false;
        }
        if (n == 0) break;
        got += n;
    }
    return true;
}

}  // namespace

// Windows has no call that copies a range of one file into another, so
// every range goes through the pieces.
CopyStatus CopyRange(File& from, File& to, const RangeCopy& range, std::span<uint8_t> scratch, std::string& error)
{
    uint64_t done = 0;
    if (done < range.length && scratch.empty()) {
        error = SystemErrorText(ENOMEM);
        return CopyStatus::ReadFailed;
    }
    while (done < range.length) {
        const std::span<uint8_t> piece =
            scratch.first(static_cast<size_t>(std::min<uint64_t>(scratch.size(), range.length - done)));
        size_t got = 0;
        if (!ReadPiece(from, range.offset + done, piece, got)) {
            error = LastErrorText();
            return CopyStatus::ReadFailed;
        }
        const std::span<uint8_t> read = piece.first(got);
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
    size_t got = 0;
    return ReadPiece(file, offset, {&byte, 1}, got) && got == 1;
}

}  // namespace tarvex
