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

#include "archive/Catalogue.h"

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

// The GBK components a caller's path names. Paths may separate folders with
// '\' or '/'. The text's own bytes are taken as GBK when they name an entry;
// otherwise UTF-8 text that GBK can hold is converted, so callers may give
// either encoding.
std::vector<std::string> ResolvePackPath(std::string_view text, const PackIndex& index);

}  // namespace tarvex
