#pragma once
#include <array>
#include <cstdint>

namespace tarvex {

// The two 16-byte blocks a password turns into; all zero means "no password".
struct PasswordBlocks {
    std::array<uint8_t, 16> a{};
    std::array<uint8_t, 16> b{};
    bool IsZero() const { return *this == PasswordBlocks{}; }
    bool operator==(const PasswordBlocks&) const = default;
};

}  // namespace tarvex
