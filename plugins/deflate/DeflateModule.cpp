// The Deflate encoder module (zlib, compression level 9).
// Stored bytes: the file size as 4 little-endian bytes, then one zlib stream
// (Deflate with an Adler-32 check) holding exactly that many bytes.
#include <zlib.h>

#include "plugins/EncoderModule.h"

namespace {

constexpr int kLevel = 9;
constexpr uint32_t kHeaderSize = 4;

uint32_t Capacity(uint32_t n)
{
    const uint64_t need = kHeaderSize + static_cast<uint64_t>(compressBound(n));
    return need > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(need);
}

uint32_t DeclaredSize(const uint8_t* src)
{
    return static_cast<uint32_t>(src[0]) | static_cast<uint32_t>(src[1]) << 8 | static_cast<uint32_t>(src[2]) << 16 |
           static_cast<uint32_t>(src[3]) << 24;
}

// Inflates the stream after the header into exactly `size` bytes; the whole
// input must be one complete stream.
bool Inflate(const uint8_t* src, uint32_t srcLen, uint8_t* dst, uint32_t size)
{
    uLongf produced = size;
    uLong consumed = srcLen - kHeaderSize;
    const int rc = uncompress2(dst, &produced, src + kHeaderSize, &consumed);
    return rc == Z_OK && produced == size && consumed == srcLen - kHeaderSize;
}

// Inflates the stream after the header without keeping its bytes: true when
// the input is one complete stream whose check holds and that gives exactly
// `size` bytes. It stops as soon as the stream gives more.
bool ChecksOut(const uint8_t* src, uint32_t srcLen, uint32_t size)
{
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return false;
    stream.next_in = const_cast<Bytef*>(src + kHeaderSize);
    stream.avail_in = srcLen - kHeaderSize;
    Bytef scratch[16384];
    uint64_t produced = 0;
    int rc = Z_OK;
    while (rc == Z_OK && produced <= size) {
        stream.next_out = scratch;
        stream.avail_out = sizeof scratch;
        rc = inflate(&stream, Z_NO_FLUSH);
        produced += sizeof scratch - stream.avail_out;
    }
    const bool whole = rc == Z_STREAM_END && stream.avail_in == 0 && produced == size;
    inflateEnd(&stream);
    return whole;
}

}  // namespace

extern "C" {

uint32_t getProviderType(void)
{
    return EDL_PROVIDER_TYPE;
}
const char* getProviderName(void)
{
    return "Deflate";
}
uint32_t getProviderVersion(void)
{
    return 0x01000000;
}

// "Deflate 编码（zlib，压缩级别 9）
//  通用的无损压缩，解码快，各种平台都能解码。
//  存储格式：4 字节原始大小，后接带 Adler-32 校验的 zlib 数据流。"
// (GBK, written as escapes so that every compiler keeps the bytes.)
const char* getProviderInfo(void)
{
    return "Deflate \xB1\xE0\xC2\xEB\xA3\xA8zlib\xA3\xAC\xD1\xB9\xCB\xF5\xBC\xB6\xB1\xF0 9\xA3\xA9\n"
           "\xCD\xA8\xD3\xC3\xB5\xC4\xCE\xDE\xCB\xF0\xD1\xB9\xCB\xF5\xA3\xAC\xBD\xE2\xC2\xEB\xBF\xEC\xA3\xAC"
           "\xB8\xF7\xD6\xD6\xC6\xBD\xCC\xA8\xB6\xBC\xC4\xDC\xBD\xE2\xC2\xEB\xA1\xA3\n"
           "\xB4\xE6\xB4\xA2\xB8\xF1\xCA\xBD\xA3\xBA"
           "4 \xD7\xD6\xBD\xDA\xD4\xAD\xCA\xBC\xB4\xF3\xD0\xA1\xA3\xAC\xBA\xF3\xBD\xD3\xB4\xF8 Adler-32 "
           "\xD0\xA3\xD1\xE9\xB5\xC4 zlib \xCA\xFD\xBE\xDD\xC1\xF7\xA1\xA3";
}

uint32_t getMemNeeded(uint32_t n)
{
    return Capacity(n);
}

edl_bool Encode(const uint8_t* src, uint32_t n, uint8_t* dst, uint32_t* encodedLen)
{
    const uint32_t capacity = Capacity(n);
    if (capacity == 0) return 0;
    uLongf length = capacity - kHeaderSize;
    if (compress2(dst + kHeaderSize, &length, src, n, kLevel) != Z_OK) return 0;
    for (uint32_t i = 0; i < kHeaderSize; ++i) dst[i] = static_cast<uint8_t>(n >> (8 * i));
    *encodedLen = static_cast<uint32_t>(kHeaderSize + length);
    return 1;
}

// Not told the size of dst, Decode can go only by the size the stream
// declares: so it reads the whole stream first, and writes nothing unless
// the stream is complete, its check holds and it gives exactly that size.
edl_bool Decode(const uint8_t* src, uint32_t srcLen, uint8_t* dst)
{
    if (srcLen < kHeaderSize) return 0;
    const uint32_t size = DeclaredSize(src);
    return ChecksOut(src, srcLen, size) && Inflate(src, srcLen, dst, size);
}

edl_bool DecodeBounded(const uint8_t* src, uint32_t srcLen, uint8_t* dst, uint32_t dstLen)
{
    if (srcLen < kHeaderSize || DeclaredSize(src) != dstLen) return 0;
    return Inflate(src, srcLen, dst, dstLen);
}

// Every call works on its own zlib stream and keeps nothing: calls on several
// threads at once are safe.
edl_bool isThreadSafe(void)
{
    return 1;
}

}  // extern "C"
