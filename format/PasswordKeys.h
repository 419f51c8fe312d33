#pragma once
// From a password to the keys that drive the pack's scramblers.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/PasswordBlocks.h"

namespace tarvex {

struct KeySchedule {
    std::array<uint8_t, 8> byteKeys{};
    std::array<uint16_t, 8> wordKeys{};
    std::array<uint32_t, 8> dwordKeys{};
    std::array<uint8_t, 16> streamKey{};
    std::array<uint8_t, 16> checkBytes{};

    // A pack is written as protected when either of the first two
    // double-word keys is non-zero.
    bool IsProtected() const { return dwordKeys[0] != 0 || dwordKeys[1] != 0; }
    bool operator==(const KeySchedule&) const = default;
};

// The two MD5-based blocks of a password given as GBK bytes. An empty text
// gives zero blocks (no password).
PasswordBlocks DerivePasswordBlocks(std::string_view gbkText);

// The key schedule of two blocks (InstallKeys fills a pack object's keys with it).
KeySchedule MakeKeySchedule(const PasswordBlocks& blocks);

// Whether a pack can carry these keys. Two kinds cannot: keys whose first two
// double-word keys are zero while others are not (the pack would be marked
// unprotected yet scrambled), and protected keys whose byte keys all have a
// zero low nibble (the third check block's length could never be found).
bool KeysUsable(const KeySchedule& keys);

// The third check block's length search can end with these keys.
bool CheckLengthFindable(const KeySchedule& keys);

}  // namespace tarvex
