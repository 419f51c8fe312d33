#include "format/Scrambler.h"

#include <cstring>

namespace tarvex {

void Scrambler::Reset()
{
    bytePos_ = wordPos_ = dwordPos_ = namePos_ = checkPos_ = 0;
}

uint8_t Scrambler::Byte(uint8_t v, unsigned bits)
{
    if (bits == 255) {
        bytePos_ = 0;
        return v;
    }
    const unsigned mask = bits >= 8 ? 0xFFu : (1u << bits) - 1;
    const uint8_t result = static_cast<uint8_t>(v ^ (keys_.byteKeys[bytePos_] & mask));
    bytePos_ = (bytePos_ + 1) & 7;
    return result;
}

uint16_t Scrambler::Word(uint16_t v)
{
    if (v == 0xFFFF) {
        wordPos_ = 0;
        return v;
    }
    const uint16_t result = static_cast<uint16_t>((v ^ keys_.wordKeys[wordPos_]) & 0xFF);
    wordPos_ = (wordPos_ + 1) & 7;
    return result;
}

uint32_t Scrambler::Dword(uint32_t v)
{
    if (v == 0xFFFFFFFFu) {
        dwordPos_ = 0;
        return v;
    }
    const uint32_t result = v ^ keys_.dwordKeys[dwordPos_];
    dwordPos_ = (dwordPos_ + 1) & 7;
    return result;
}

void Scrambler::Name(std::span<uint8_t> bytes)
{
    if (bytes.size() == 255) {
        namePos_ = 0;
        return;
    }
    for (uint8_t& b : bytes) {
        b ^= keys_.streamKey[namePos_];
        namePos_ = (namePos_ + 1) & 15;
    }
}

uint8_t Scrambler::NextCheckByte()
{
    const uint8_t b = keys_.checkBytes[checkPos_];
    checkPos_ = (checkPos_ + 1) & 15;
    return b;
}

void ScrambleFileData(std::span<uint8_t> bytes, const std::array<uint8_t, 16>& streamKey,
                      unsigned start)
{
    uint64_t keyWords[2];
    std::memcpy(keyWords, streamKey.data(), 16);
    if ((keyWords[0] | keyWords[1]) == 0) return;  // an unprotected pack: nothing changes

    uint8_t* p = bytes.data();
    size_t left = bytes.size();
    unsigned pos = start & 15;
    while (pos != 0 && left > 0) {
        *p++ ^= streamKey[pos];
        pos = (pos + 1) & 15;
        --left;
    }
    // Whole 16-byte strides line up with the key, so XOR two words at a time.
    while (left >= 16) {
        uint64_t w[2];
        std::memcpy(w, p, 16);
        w[0] ^= keyWords[0];
        w[1] ^= keyWords[1];
        std::memcpy(p, w, 16);
        p += 16;
        left -= 16;
    }
    for (size_t i = 0; i < left; ++i) p[i] ^= streamKey[i];
}

}  // namespace tarvex
