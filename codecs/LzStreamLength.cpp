#include <cstddef>

#include "codecs/LzCodec.h"
#include "codecs/LzCodes.h"

namespace tarvex {
namespace {

// What a code below 16 means depends on what came before it.
enum class Before {
    Match,     // a match with no literals of its own: a literal run
    Run,       // a literal run: a 3-byte match from 2049 to 3072 bytes back
    Literals,  // a match's 1 to 3 literals: a 2-byte match up to 1024 bytes back
};

}  // namespace

std::optional<uint64_t> LzStreamLength(std::span<const uint8_t> s)
{
    size_t ip = 0;
    uint64_t produced = 0;
    const auto literals = [&](size_t count) {
        if (count > s.size() - ip) return false;
        ip += count;
        produced += count;
        return true;
    };
    Before before = Before::Match;
    if (s.empty()) return std::nullopt;
    // A stream may start with a literal run of a code of its own.
    if (s[0] > 17) {
        const size_t count = s[0] - 17u;
        ip = 1;
        if (!literals(count)) return std::nullopt;
        before = count < 4 ? Before::Literals : Before::Run;
    }
    while (ip < s.size()) {
        const uint8_t t = s[ip];
        if (t < 16 && before == Before::Match) {
            size_t count = 0;
            if (!LzLiteralRunCode(s, ip, count) || !literals(count)) return std::nullopt;
            before = Before::Run;
            continue;
        }
        ++ip;
        uint64_t length = 0;
        uint64_t distance = 0;
        if (t < 16 || t >= 64) {
            if (ip >= s.size()) return std::nullopt;
            const uint64_t high = s[ip++];
            if (t >= 64) {
                length = (t >> 5) + 1u;
                distance = 1 + ((t >> 2) & 7u) + (high << 3);
            } else {
                const bool afterRun = before == Before::Run;
                length = afterRun ? 3 : 2;
                distance = 1 + (t >> 2) + (high << 2) + (afterRun ? 0x800 : 0);
            }
        } else {
            size_t count = t & (t >= 32 ? 31u : 7u);
            if (count == 0) {
                if (!LzLongCount(s, ip, count)) return std::nullopt;
                count += t >= 32 ? 31 : 7;
            }
            if (s.size() - ip < 2) return std::nullopt;
            const uint64_t back = (s[ip] >> 2) + (uint64_t{s[ip + 1]} << 6);
            ip += 2;
            length = count + 2;
            if (t >= 32) {
                distance = 1 + back;
            } else {
                const uint64_t far = uint64_t{t & 8u} << 11;
                // The end marker: a far match of distance zero, the last code.
                if (far == 0 && back == 0) return ip == s.size() ? std::optional(produced) : std::nullopt;
                distance = 0x4000 + far + back;
            }
        }
        if (distance > produced) return std::nullopt;
        produced += length;
        // The low bits of the match's code before last count its own literals.
        const size_t own = s[ip - 2] & 3u;
        if (own == 0) {
            before = Before::Match;
        } else {
            if (!literals(own)) return std::nullopt;
            before = Before::Literals;
        }
    }
    return std::nullopt;  // no end marker
}

}  // namespace tarvex
