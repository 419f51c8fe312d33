#include "format/PasswordKeys.h"

#include <cstdio>

#include "format/Md5.h"

namespace tarvex {

PasswordBlocks DerivePasswordBlocks(std::string_view gbkText)
{
    PasswordBlocks blocks;
    if (gbkText.empty()) return blocks;

    // One hash object, used twice: the second digest deliberately continues
    // from the state the first one leaves behind.
    Md5 md5;
    md5.Update({reinterpret_cast<const uint8_t*>(gbkText.data()), gbkText.size()});
    const std::array<uint8_t, 16> d1 = md5.Final();

    char hex[33];
    for (size_t i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", d1[i]);
    md5.Update({reinterpret_cast<const uint8_t*>(hex), 32});
    const std::array<uint8_t, 16> d2 = md5.Final();

    for (size_t i = 0; i < 16; ++i) {
        blocks.a[i] = static_cast<uint8_t>((d1[i] & 0xF0) | (d2[i] & 0x0F));
        blocks.b[i] = static_cast<uint8_t>((d2[i] & 0xF0) | (d1[i] & 0x0F));
    }
    return blocks;
}

KeySchedule MakeKeySchedule(const PasswordBlocks& blocks)
{
    const auto& a = blocks.a;
    KeySchedule k;
    k.byteKeys = {a[13], a[5], a[9], a[11], a[3], a[8], a[4], a[10]};

    const auto word = [](uint8_t hi, uint8_t lo) { return static_cast<uint16_t>(hi << 8 | lo); };
    k.wordKeys = {word(a[4], a[11]), word(a[8], a[0]),  word(a[1], a[9]), word(a[13], a[5]),
                  word(a[10], a[3]), word(a[9], a[14]), word(a[3], a[8]), word(a[7], a[1])};

    const auto dword = [](uint8_t b3, uint8_t b2, uint8_t b1, uint8_t b0) {
        return static_cast<uint32_t>(b3) << 24 | static_cast<uint32_t>(b2) << 16 |
               static_cast<uint32_t>(b1) << 8 | b0;
    };
    k.dwordKeys = {dword(a[15], a[5], a[8], a[6]),   dword(a[6], a[9], a[0], a[4]),
                   dword(a[9], a[15], a[10], a[8]),  dword(a[3], a[12], a[4], a[1]),
                   dword(a[7], a[0], a[9], a[2]),    dword(a[2], a[11], a[6], a[9]),
                   dword(a[12], a[8], a[13], a[10]), dword(a[10], a[1], a[3], a[5])};

    k.streamKey = blocks.a;
    k.checkBytes = blocks.b;
    return k;
}

bool CheckLengthFindable(const KeySchedule& keys)
{
    for (uint8_t key : keys.byteKeys)
        if (key & 0x0F) return true;
    return false;
}

bool KeysUsable(const KeySchedule& keys)
{
    if (keys == KeySchedule{}) return true;
    if (!keys.IsProtected()) return false;
    return CheckLengthFindable(keys);
}

}  // namespace tarvex
