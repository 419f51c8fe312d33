#pragma once
// The records of a pack file as they are after unscrambling: the header, the
// module and folder tables' entries and the entry table's records, with the
// format's limits.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tarvex {

inline constexpr std::array<char, 4> kPackMagic = {'Z', 'V', 'P', 'K'};
inline constexpr uint8_t kPackVersion = 1;
inline constexpr uint8_t kProtectedFlag = 0x80;

// The plain values of a pack's 16-byte header.
struct PackHeader {
    std::array<char, 4> magic = kPackMagic;
    uint8_t version = kPackVersion;
    uint8_t flags = 0;
    uint16_t folderCount = 0;
    uint32_t fileCount = 0;
    uint32_t entryTableSize = 0;

    bool IsProtected() const { return flags & kProtectedFlag; }
    unsigned ModuleCount() const { return flags & 0x7F; }
};

struct ModuleImage {
    std::string providerName;
    std::string moduleFile;
    uint32_t version = 0;
};

struct FolderImage {
    std::string name;
    uint16_t first = 0;
    uint16_t end = 0;
};

// An encoded size not computed yet, or a stored size of a file that is not in
// the pack on disk.
inline constexpr uint32_t kUnknownSize = 0xFFFFFFFF;
inline constexpr uint8_t kNoStoredScheme = 0xFF;
inline constexpr size_t kMaxNameBytes = 255;
inline constexpr size_t kMaxPackFolders = 255;
inline constexpr size_t kMaxPackPlugins = 127;

// Where a file's stored bytes lie in the pack on disk.
struct StoredCopy {
    uint32_t dataOffset = 0;
    uint32_t fileSize = 0;
    uint32_t storedSize = 0;
    uint8_t scheme = 0;
};

// One record of the entry table of the pack on disk.
struct PackRecord {
    std::string name;  // GBK
    uint32_t dataOffset = 0;
    uint32_t fileSize = 0;
    uint32_t storedSize = 0;
    uint16_t folderId = 0;
    uint8_t scheme = 0;

    StoredCopy Location() const { return {dataOffset, fileSize, storedSize, scheme}; }
};

}  // namespace tarvex
