/* An encoder module in plain C99, built from the public header alone: it
 * keeps the public contract compilable as C. It stores a file as its length
 * (4 bytes, little-endian) followed by its bytes. */
#include <string.h>

#include "plugins/EncoderModule.h"

static uint32_t ReadLength(const uint8_t* src)
{
    return (uint32_t)src[0] | (uint32_t)src[1] << 8 | (uint32_t)src[2] << 16 | (uint32_t)src[3] << 24;
}

uint32_t getProviderType(void)
{
    return EDL_PROVIDER_TYPE;
}
const char* getProviderName(void)
{
    return "Test c";
}
uint32_t getProviderVersion(void)
{
    return 0x01020304u;
}
void About(void)
{
}
uint32_t getMemNeeded(uint32_t n)
{
    return n <= 0xFFFFFFFBu ? n + 4 : 0;
}

edl_bool Encode(const uint8_t* src, uint32_t n, uint8_t* dst, uint32_t* encodedLen)
{
    uint32_t i;
    for (i = 0; i < 4; ++i) dst[i] = (uint8_t)(n >> (8 * i));
    memcpy(dst + 4, src, n);
    *encodedLen = n + 4;
    return 1;
}

edl_bool Decode(const uint8_t* src, uint32_t srcLen, uint8_t* dst)
{
    if (srcLen < 4 || srcLen - 4 != ReadLength(src)) return 0;
    memcpy(dst, src + 4, srcLen - 4);
    return 1;
}

edl_bool DecodeBounded(const uint8_t* src, uint32_t srcLen, uint8_t* dst, uint32_t dstLen)
{
    return srcLen >= 4 && ReadLength(src) == dstLen && Decode(src, srcLen, dst);
}
