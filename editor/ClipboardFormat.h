#pragma once
#include <cstdint>

namespace tarvex {

// The private clipboard format of pack items (folders and file entries of
// the running program), by its registered name: records of 8 bytes, no
// header.
inline constexpr const char* kClipboardFormat = "ZVPK2fd";
// Beside it: which document wrote the records and the identity of every
// file entry they name, so that a record is never taken for another item.
inline constexpr const char* kClipboardOriginFormat = "application/x-zvpk2fd-origin";

// One record: bit 0 of flags set for a file entry (clear for a folder), bit 1
// set for a copy (clear for a cut); the reference is the entry's index or the
// folder's handle. Both fields in host byte order.
struct ClipboardItem {
    uint32_t flags = 0;
    uint32_t reference = 0;
};
inline constexpr uint32_t kClipItemIsFile = 1;
inline constexpr uint32_t kClipItemIsCopy = 2;

}  // namespace tarvex
