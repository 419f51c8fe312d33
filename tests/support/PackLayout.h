#pragma once
// Unprotected packs laid out byte by byte, for tables no writer would make:
// entries in folders that do not exist, folders listed twice, sizes and
// schemes a pack's bytes cannot back.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvex::test {

struct LaidOutModule {
    std::string providerName;  // GBK
    std::string moduleFile;
    uint32_t version = 1;
};

// A folder record: its children are records first..end-1.
struct LaidOutFolder {
    std::string name;  // GBK
    uint16_t first = 0;
    uint16_t end = 0;
};

struct LaidOutFile {
    std::string name;  // GBK
    uint16_t folderId = 0;
    std::string stored;  // the bytes in the data area
    uint8_t scheme = 0;
    std::optional<uint32_t> fileSize = std::nullopt;  // the recorded size; stored.size() when not given
};

struct PackLayout {
    std::vector<LaidOutModule> modules;
    // The root's children are records 0..r-1, r being the first record's
    // first child index.
    std::vector<LaidOutFolder> folders;
    std::vector<LaidOutFile> files;

    std::vector<uint8_t> Bytes() const;
};

}  // namespace tarvex::test
