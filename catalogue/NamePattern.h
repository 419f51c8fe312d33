#pragma once
// Finding files by name: a pattern of '*' (any run of characters, none
// too) and '?' (one character), compared as the file list compares names:
// ASCII letters without regard to case, a double-byte GBK character by its
// two bytes and counted as one character. A pattern without '*' or '?'
// finds the names that hold it anywhere.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/Catalogue.h"

namespace tarvex {

// Reads the character of a GBK name at byte `at`, moves `at` past it and
// gives it as the file list compares it: an ASCII letter in lower case, a
// double-byte character as lead * 256 + trail.
uint16_t FoldedGbkChar(std::string_view name, size_t& at);

class NamePattern {
public:
    // gbkPattern: the pattern's GBK bytes. An empty pattern matches nothing.
    explicit NamePattern(std::string_view gbkPattern);

    bool Matches(std::string_view gbkName) const;

private:
    // A character as FoldedGbkChar gives it, or one of the two wildcards.
    static constexpr int32_t kAnyRun = -1;
    static constexpr int32_t kAnyChar = -2;
    std::vector<int32_t> parts_;
};

// The file entries whose names match, in entry order: one pass over the
// entries, nothing looked up on disk.
std::vector<size_t> FindEntries(const Catalogue& catalogue, const NamePattern& pattern);

}  // namespace tarvex
