#pragma once
// MD5 (RFC 1321) with the behaviour the pack's password derivation depends on:
// Final() pads in place in the block buffer without adding the padding to the
// bit count, and afterwards clears only the first state word. A second digest
// through the same object, without Init(), therefore continues from that state.
#include <array>
#include <cstdint>
#include <span>

namespace tarvex {

class Md5 {
public:
    Md5() { Init(); }
    void Init();
    void Update(std::span<const uint8_t> data);
    std::array<uint8_t, 16> Final();

private:
    void Transform(const uint8_t block[64]);

    uint32_t state_[4];
    uint64_t bitCount_;
    uint8_t buffer_[64];
};

}  // namespace tarvex
