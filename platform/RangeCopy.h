#pragma once
// Copies a range of one file into another without holding it in memory: in
// the kernel (copy_file_range, which also shares blocks on file systems that
// can) when the bytes go over as they are, else through a bounded buffer,
// piece by piece, each piece altered on its way (the pack's scrambling).
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "platform/FileIo.h"

namespace tarvex {

enum class CopyStatus {
    Ok,
    SourceEnded,  // the source has fewer bytes than the range
    ReadFailed,
    WriteFailed,
};

struct RangeCopy {
    uint64_t offset = 0;  // where the range starts in the source
    uint64_t length = 0;
    // Alters each piece read; `at` is the piece's distance from the start of
    // the range. Without one the bytes go over as they are, in the kernel
    // where it can.
    std::function<void(std::span<uint8_t> piece, uint64_t at)> transform;
    // Told how many bytes of the range are copied, between pieces.
    std::function<void(uint64_t done)> progress;
};

// Copies the range of `from` to `to` at to's current position (which ends up
// after the bytes copied). `scratch`: the buffer pieces pass through when
// they cannot go in the kernel. `error` gets the system's words on failure.
CopyStatus CopyRange(File& from, File& to, const RangeCopy& range, std::span<uint8_t> scratch, std::string& error);

// Whether the file has a byte at `offset` (a file that grew since its length
// was taken has).
bool HasByteAt(File& file, uint64_t offset);

}  // namespace tarvex
