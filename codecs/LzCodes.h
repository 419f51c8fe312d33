#pragma once
// Reading the counts of LZO1X codes, for the walks over a stream that do not
// decode it (the shape the piece joiner needs, the length a stream gives).
#include <cstddef>
#include <cstdint>
#include <span>

namespace tarvex {

// Reads the count of a code whose short count was zero: zero bytes add 255
// each, the first other byte adds itself.
inline bool LzLongCount(std::span<const uint8_t> s, size_t& ip, size_t& count)
{
    while (ip < s.size() && s[ip] == 0) {
        count += 255;
        ++ip;
    }
    if (ip >= s.size()) return false;
    count += s[ip++];
    return true;
}

// Reads the code of a literal run (a byte below 16) and its literal count.
inline bool LzLiteralRunCode(std::span<const uint8_t> s, size_t& ip, size_t& count)
{
    count = s[ip++];
    if (count == 0) {
        if (!LzLongCount(s, ip, count)) return false;
        count += 15;
    }
    count += 3;
    return true;
}

}  // namespace tarvex
