// Encoder modules for the tests: one source, built once per behaviour with
// TM_* switches. The encoding is trivial (a 4-byte little-endian length and
// the bytes XOR 0xA5), so that a test can tell exactly what went where.
#include <cstring>

#include "plugins/EncoderModule.h"

#define TM_STR2(x) #x
#define TM_STR(x) TM_STR2(x)

#ifndef TM_TYPE
#define TM_TYPE EDL_PROVIDER_TYPE
#endif
// Padding that the buffer-filling module writes after the encoding.
#ifndef TM_PAD
#define TM_PAD 0
#endif

namespace {

constexpr uint32_t kHeader = 4;
constexpr uint32_t kPad = TM_PAD;

// Not every variant uses every helper.
[[maybe_unused]] uint32_t MemNeeded(uint32_t n)
{
    return kHeader + n + kPad;
}

[[maybe_unused]] uint32_t Declared(const uint8_t* src)
{
    return static_cast<uint32_t>(src[0]) | static_cast<uint32_t>(src[1]) << 8 | static_cast<uint32_t>(src[2]) << 16 |
           static_cast<uint32_t>(src[3]) << 24;
}

[[maybe_unused]] bool Unxor(const uint8_t* src, uint32_t srcLen, uint8_t* dst, uint32_t size)
{
    if (srcLen != kHeader + size + kPad) return false;
    for (uint32_t i = 0; i < size; ++i) dst[i] = src[kHeader + i] ^ 0xA5;
    return true;
}

}  // namespace

extern "C" {

#ifndef TM_NO_TYPE
uint32_t getProviderType(void)
{
    return TM_TYPE;
}
#endif

#ifndef TM_NO_NAME
const char* getProviderName(void)
{
#ifdef TM_LONG_NAME
    static char name[301];
    std::memset(name, 'n', 300);
    return name;
#else
    return "Test " TM_STR(TM_ID);
#endif
}
#endif

#ifndef TM_NO_VERSION
uint32_t getProviderVersion(void)
{
    return 0x01020304;
}
#endif

#ifndef TM_NO_INFO
const char* getProviderInfo(void)
{
    return "Test module " TM_STR(TM_ID);
}
#endif

#ifdef TM_ABOUT
void About(void)
{
}
#endif
#ifdef TM_SETTINGS
void Settings(void)
{
}
#endif

#ifndef TM_NO_MEMNEEDED
uint32_t getMemNeeded(uint32_t n)
{
    return MemNeeded(n);
}
#endif

#ifndef TM_NO_ENCODE
edl_bool Encode(const uint8_t* src, uint32_t n, uint8_t* dst, uint32_t* encodedLen)
{
#ifdef TM_ENCODE_FAILS
    return 0;
#endif
    for (uint32_t i = 0; i < kHeader; ++i) dst[i] = static_cast<uint8_t>(n >> (8 * i));
    for (uint32_t i = 0; i < n; ++i) dst[kHeader + i] = src[i] ^ 0xA5;
    // Every byte of the buffer the host was asked for gets written.
    for (uint32_t i = 0; i < kPad; ++i) dst[kHeader + n + i] = 0xEE;
#ifdef TM_OVERLONG
    *encodedLen = MemNeeded(n) + 1;
#else
    *encodedLen = MemNeeded(n);
#endif
    return 1;
}
#endif

#ifndef TM_NO_DECODE
edl_bool Decode(const uint8_t* src, uint32_t srcLen, uint8_t* dst)
{
#if defined(TM_DECODE_FAILS) || defined(TM_BOUNDED)
    return 0;
#endif
    return srcLen >= kHeader && Unxor(src, srcLen, dst, Declared(src));
}
#endif

#ifdef TM_BOUNDED
edl_bool DecodeBounded(const uint8_t* src, uint32_t srcLen, uint8_t* dst, uint32_t dstLen)
{
    return srcLen >= kHeader && Declared(src) == dstLen && Unxor(src, srcLen, dst, dstLen);
}
#endif

}  // extern "C"
