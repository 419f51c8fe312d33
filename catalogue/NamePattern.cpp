#include "catalogue/NamePattern.h"

#include <algorithm>
#include <optional>

namespace tarvex {

uint16_t FoldedGbkChar(std::string_view name, size_t& at)
{
    const auto lead = static_cast<unsigned char>(name[at]);
    if (lead >= 0x81 && lead <= 0xFE && at + 1 < name.size()) {
        // A double-byte character: its trail byte may look like a letter.
        const auto trail = static_cast<unsigned char>(name[at + 1]);
        at += 2;
        return static_cast<uint16_t>(lead << 8 | trail);
    }
    ++at;
    return lead >= 'A' && lead <= 'Z' ? lead + ('a' - 'A') : lead;
}

NamePattern::NamePattern(std::string_view gbkPattern)
{
    for (size_t at = 0; at < gbkPattern.size();) {
        const uint16_t c = FoldedGbkChar(gbkPattern, at);
        parts_.push_back(c == '*' ? kAnyRun : c == '?' ? kAnyChar : c);
    }
    const bool wild = std::any_of(parts_.begin(), parts_.end(), [](int32_t p) { return p < 0; });
    if (!wild && !parts_.empty()) {
        parts_.insert(parts_.begin(), kAnyRun);
        parts_.push_back(kAnyRun);
    }
}

bool NamePattern::Matches(std::string_view gbkName) const
{
    if (parts_.empty()) return false;
    size_t part = 0;
    size_t at = 0;
    // Where the last '*' was met: the part after it and the name's byte it
    // took up from. A mismatch later lets that '*' take one character more.
    std::optional<size_t> runPart;
    size_t runFrom = 0;
    while (at < gbkName.size()) {
        if (part < parts_.size() && parts_[part] == kAnyRun) {
            runPart = ++part;
            runFrom = at;
            continue;
        }
        size_t next = at;
        const uint16_t c = FoldedGbkChar(gbkName, next);
        if (part < parts_.size() && (parts_[part] == kAnyChar || parts_[part] == c)) {
            ++part;
            at = next;
            continue;
        }
        if (!runPart) return false;
        part = *runPart;
        FoldedGbkChar(gbkName, runFrom);
        at = runFrom;
    }
    while (part < parts_.size() && parts_[part] == kAnyRun) ++part;
    return part == parts_.size();
}

std::vector<size_t> FindEntries(const Catalogue& catalogue, const NamePattern& pattern)
{
    std::vector<size_t> found;
    const auto& entries = catalogue.Entries();
    for (size_t i = 0; i < entries.size(); ++i)
        if (pattern.Matches(entries[i].name)) found.push_back(i);
    return found;
}

}  // namespace tarvex
