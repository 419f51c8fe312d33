#pragma once
// Finding a pack's files by their paths inside the pack. Built once when the
// pack is opened, so a lookup is one hash probe instead of a scan of the
// entries.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalogue/Catalogue.h"

namespace tarvex {

class PackIndex {
public:
    PackIndex() = default;
    // Indexes every entry by its folders and name. Of several entries with
    // the same path (only a damaged pack has them) the first one is found.
    explicit PackIndex(const Catalogue& catalogue);

    // The entry whose path is exactly these GBK components.
    std::optional<size_t> Find(const std::vector<std::string>& components) const;

private:
    std::unordered_map<std::string, size_t> byPath_;
};

// How a caller's path names an entry.
struct PathReading {
    // The GBK components of the reading used: the one that names an entry,
    // else the UTF-8 reading where there is one (loose files are looked up by
    // it), else the bytes as given.
    std::vector<std::string> components;
    std::optional<size_t> entry;
    // The bytes as given and their UTF-8 reading name two different entries.
    bool ambiguous = false;
};

// Paths may separate folders with '\' or '/'. The bytes as given are read as
// GBK; UTF-8 text that GBK can hold has a second reading, converted (see
// runtime/CallerText.h). The reading that names an entry is used; when both
// do and name different entries, the path names none of them.
PathReading ResolvePackPath(std::string_view text, const PackIndex& index);

}  // namespace tarvex
