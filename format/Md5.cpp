#include "format/Md5.h"

#include <bit>
#include <cstring>

namespace tarvex {

namespace {

constexpr size_t kBlockSize = 64;
constexpr size_t kLengthOffset = 56;

// Sines table of RFC 1321: kSines[i] = floor(2^32 * |sin(i + 1)|).
constexpr uint32_t kSines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// Left-rotation amounts, four per round.
constexpr int kShifts[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

uint32_t LoadLe32(const uint8_t* p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace

void Md5::Init()
{
    state_[0] = 0x67452301;
    state_[1] = 0xefcdab89;
    state_[2] = 0x98badcfe;
    state_[3] = 0x10325476;
    bitCount_ = 0;
    std::memset(buffer_, 0, sizeof buffer_);
}

void Md5::Transform(const uint8_t block[64])
{
    uint32_t words[16];
    for (size_t k = 0; k < 16; ++k) {
        words[k] = LoadLe32(block + 4 * k);
    }
    uint32_t a = state_[0];
    uint32_t b = state_[1];
    uint32_t c = state_[2];
    uint32_t d = state_[3];
    for (size_t step = 0; step < 64; ++step) {
        const size_t round = step / 16;
        uint32_t mix = 0;
        size_t word = 0;
        switch (round) {
            case 0:
                mix = (b & c) | (~b & d);
                word = step;
                break;
            case 1:
                mix = (d & b) | (~d & c);
                word = (5 * step + 1) % 16;
                break;
            case 2:
                mix = b ^ c ^ d;
                word = (3 * step + 5) % 16;
                break;
            default:
                mix = c ^ (b | ~d);
                word = (7 * step) % 16;
                break;
        }
        const uint32_t sum = a + mix + kSines[step] + words[word];
        a = d;
        d = c;
        c = b;
        b += std::rotl(sum, kShifts[round][step % 4]);
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}

void Md5::Update(std::span<const uint8_t> data)
{
    size_t index = (bitCount_ / 8) % kBlockSize;
    bitCount_ += uint64_t{8} * data.size();
    const size_t room = kBlockSize - index;
    size_t used = 0;
    if (data.size() >= room) {
        std::memcpy(buffer_ + index, data.data(), room);
        Transform(buffer_);
        for (used = room; used + kBlockSize <= data.size(); used += kBlockSize) {
            Transform(data.data() + used);
        }
        index = 0;
    }
    if (used < data.size()) {
        std::memcpy(buffer_ + index, data.data() + used, data.size() - used);
    }
}

std::array<uint8_t, 16> Md5::Final()
{
    // Padding goes straight into the block buffer and is not counted in
    // bitCount_: a later Update on this object resumes at the old position.
    size_t index = (bitCount_ / 8) % kBlockSize;
    buffer_[index++] = 0x80;
    if (index > kLengthOffset) {
        std::memset(buffer_ + index, 0, kBlockSize - index);
        Transform(buffer_);
        index = 0;
    }
    std::memset(buffer_ + index, 0, kLengthOffset - index);
    for (size_t k = 0; k < 8; ++k) {
        buffer_[kLengthOffset + k] = static_cast<uint8_t>(bitCount_ >> (8 * k));
    }
    Transform(buffer_);

    std::array<uint8_t, 16> digest{};
    for (size_t k = 0; k < 16; ++k) {
        digest[k] = static_cast<uint8_t>(state_[k / 4] >> (8 * (k % 4)));
    }
    // Only the first state word is cleared; the password derivation that
    // reuses this object depends on the rest staying as it is.
    state_[0] = 0;
    return digest;
}

}  // namespace tarvex
