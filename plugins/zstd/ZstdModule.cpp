// The Zstandard encoder modules. One source builds two modules that differ
// only in their compression level, so the level is part of what the provider
// name and the module file say rather than a hidden setting.
// Stored bytes: one Zstandard frame that records the file size and carries a
// checksum of the content.
// For ZSTD_getCParams: the level's table sizes, which the strong level caps.
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>

#include <algorithm>

#include "plugins/EncoderModule.h"
#include "plugins/zstd/ContextPool.h"

// The texts are GBK, written as escapes so that every compiler keeps their
// bytes; each is read out in UTF-8 above it.
#if TARVEX_ZSTD_STRONG
#define ZSTD_MODULE_LEVEL 19
// "Zstandard 强力"
#define ZSTD_MODULE_NAME "Zstandard \xC7\xBF\xC1\xA6"
// "Zstandard 强力编码（zstd，压缩级别 19）
//  压缩率高而编码较慢，解码和快速编码一样快。适合发布用的文件包。"
#define ZSTD_MODULE_ABOUT                                                                                         \
    "Zstandard \xC7\xBF\xC1\xA6\xB1\xE0\xC2\xEB\xA3\xA8zstd\xA3\xAC\xD1\xB9\xCB\xF5\xBC\xB6\xB1\xF0 19\xA3\xA9\n" \
    "\xD1\xB9\xCB\xF5\xC2\xCA\xB8\xDF\xB6\xF8\xB1\xE0\xC2\xEB\xBD\xCF\xC2\xFD\xA3\xAC"                            \
    "\xBD\xE2\xC2\xEB\xBA\xCD\xBF\xEC\xCB\xD9\xB1\xE0\xC2\xEB\xD2\xBB\xD1\xF9\xBF\xEC\xA1\xA3"                    \
    "\xCA\xCA\xBA\xCF\xB7\xA2\xB2\xBC\xD3\xC3\xB5\xC4\xCE\xC4\xBC\xFE\xB0\xFC\xA1\xA3\n"
#else
#define ZSTD_MODULE_LEVEL 3
// "Zstandard 快速"
#define ZSTD_MODULE_NAME "Zstandard \xBF\xEC\xCB\xD9"
// "Zstandard 快速编码（zstd，压缩级别 3）
//  编码和解码都很快，压缩率通常高于 Deflate。适合开发中经常存盘的文件包。"
#define ZSTD_MODULE_ABOUT                                                                                              \
    "Zstandard \xBF\xEC\xCB\xD9\xB1\xE0\xC2\xEB\xA3\xA8zstd\xA3\xAC\xD1\xB9\xCB\xF5\xBC\xB6\xB1\xF0 3\xA3\xA9\n"       \
    "\xB1\xE0\xC2\xEB\xBA\xCD\xBD\xE2\xC2\xEB\xB6\xBC\xBA\xDC\xBF\xEC\xA3\xAC"                                         \
    "\xD1\xB9\xCB\xF5\xC2\xCA\xCD\xA8\xB3\xA3\xB8\xDF\xD3\xDA Deflate\xA1\xA3"                                         \
    "\xCA\xCA\xBA\xCF\xBF\xAA\xB7\xA2\xD6\xD0\xBE\xAD\xB3\xA3\xB4\xE6\xC5\xCC\xB5\xC4\xCE\xC4\xBC\xFE\xB0\xFC\xA1\xA3" \
    "\n"
#endif
// "存储格式：一个记录原始大小并带内容校验的 Zstandard 帧。"
#define ZSTD_MODULE_FORMAT                                                                                     \
    "\xB4\xE6\xB4\xA2\xB8\xF1\xCA\xBD\xA3\xBA\xD2\xBB\xB8\xF6\xBC\xC7\xC2\xBC\xD4\xAD\xCA\xBC\xB4\xF3\xD0\xA1" \
    "\xB2\xA2\xB4\xF8\xC4\xDA\xC8\xDD\xD0\xA3\xD1\xE9\xB5\xC4 Zstandard \xD6\xA1\xA1\xA3"

namespace {

constexpr int kLevel = ZSTD_MODULE_LEVEL;
constexpr const char* kName = ZSTD_MODULE_NAME;
constexpr const char* kInfo = ZSTD_MODULE_ABOUT ZSTD_MODULE_FORMAT;

// The strong level would give a file of 4 MiB or more tables of 80 MiB that
// search further back than its 8 MiB window; on every core at once that is
// more memory than a save may take. Capped, the tables take 25 MiB, and the
// output of real files hardly changes.
constexpr unsigned kMostChainLog = 22;
constexpr unsigned kMostHashLog = 21;

// The level's table sizes for an input of n bytes, capped.
bool SizeTables(ZSTD_CCtx* cctx, uint32_t n)
{
    const ZSTD_compressionParameters level = ZSTD_getCParams(kLevel, n, 0);
    const auto chainLog = static_cast<int>(std::min(level.chainLog, kMostChainLog));
    const auto hashLog = static_cast<int>(std::min(level.hashLog, kMostHashLog));
    return !ZSTD_isError(ZSTD_CCtx_setParameter(cctx, ZSTD_c_chainLog, chainLog)) &&
           !ZSTD_isError(ZSTD_CCtx_setParameter(cctx, ZSTD_c_hashLog, hashLog));
}

uint32_t Capacity(uint32_t n)
{
    const size_t need = ZSTD_compressBound(n);
    return ZSTD_isError(need) || need > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(need);
}

// The file size the frame declares; false for anything but exactly one
// complete frame that records its size.
bool FrameSize(const uint8_t* src, uint32_t srcLen, uint32_t& size)
{
    const unsigned long long declared = ZSTD_getFrameContentSize(src, srcLen);
    if (declared == ZSTD_CONTENTSIZE_ERROR || declared == ZSTD_CONTENTSIZE_UNKNOWN || declared > 0xFFFFFFFFu)
        return false;
    const size_t frameLen = ZSTD_findFrameCompressedSize(src, srcLen);
    if (ZSTD_isError(frameLen) || frameLen != srcLen) return false;
    size = static_cast<uint32_t>(declared);
    return true;
}

// The contexts kept between calls, shared by every thread that calls the
// module (each call leases one of its own).
using Compressors = tarvex::zstd::ContextPool<ZSTD_CCtx, ZSTD_freeCCtx>;
using Decompressors = tarvex::zstd::ContextPool<ZSTD_DCtx, ZSTD_freeDCtx>;
Compressors compressors;
Decompressors decompressors;

// A new compression context with the module's level and frame options; null
// when it cannot be made.
Compressors::Owned NewCompressContext()
{
    Compressors::Owned cctx(ZSTD_createCCtx());
    if (cctx && (ZSTD_isError(ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_compressionLevel, kLevel)) ||
                 ZSTD_isError(ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_checksumFlag, 1)) ||
                 ZSTD_isError(ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_contentSizeFlag, 1))))
        cctx.reset();
    return cctx;
}

bool Decompress(const uint8_t* src, uint32_t srcLen, uint8_t* dst, uint32_t size)
{
    const auto dctx = decompressors.Take([] { return Decompressors::Owned(ZSTD_createDCtx()); });
    if (!dctx.get()) return false;
    const size_t produced = ZSTD_decompressDCtx(dctx.get(), dst, size, src, srcLen);
    return !ZSTD_isError(produced) && produced == size;
}

// Decodes the frame without keeping its bytes: true when it decodes to its
// end, its checksum holds and it gives exactly `size` bytes. It stops as soon
// as the frame gives more. A context of its own, freed at once: the window a
// streamed frame needs is not kept between calls.
bool ChecksOut(const uint8_t* src, uint32_t srcLen, uint32_t size)
{
    const Decompressors::Owned dctx(ZSTD_createDCtx());
    if (!dctx) return false;
    ZSTD_inBuffer in{src, srcLen, 0};
    uint8_t scratch[16384];
    uint64_t produced = 0;
    for (;;) {
        ZSTD_outBuffer out{scratch, sizeof scratch, 0};
        const size_t left = ZSTD_decompressStream(dctx.get(), &out, &in);
        if (ZSTD_isError(left)) return false;
        produced += out.pos;
        if (produced > size) return false;
        if (left == 0) return in.pos == in.size && produced == size;
        // Input used up while the frame wants more: it was cut short.
        if (in.pos == in.size && out.pos < out.size) return false;
    }
}

}  // namespace

extern "C" {

uint32_t getProviderType(void)
{
    return EDL_PROVIDER_TYPE;
}
const char* getProviderName(void)
{
    return kName;
}
uint32_t getProviderVersion(void)
{
    return 0x01000000;
}
const char* getProviderInfo(void)
{
    return kInfo;
}
uint32_t getMemNeeded(uint32_t n)
{
    return Capacity(n);
}

edl_bool Encode(const uint8_t* src, uint32_t n, uint8_t* dst, uint32_t* encodedLen)
{
    const uint32_t capacity = Capacity(n);
    if (capacity == 0) return 0;
    const auto cctx = compressors.Take(NewCompressContext);
    if (!cctx.get() || !SizeTables(cctx.get(), n)) return 0;
    // A context's earlier frames leave nothing in the next one: the bytes
    // depend only on the input, whichever context and thread made them.
    const size_t length = ZSTD_compress2(cctx.get(), dst, capacity, src, n);
    if (ZSTD_isError(length)) return 0;
    *encodedLen = static_cast<uint32_t>(length);
    return 1;
}

// Not told the size of dst, Decode can go only by the size the frame
// records: so it decodes the whole frame first, and writes nothing unless the
// frame is complete, its checksum holds and it gives exactly that size.
edl_bool Decode(const uint8_t* src, uint32_t srcLen, uint8_t* dst)
{
    uint32_t size = 0;
    return FrameSize(src, srcLen, size) && ChecksOut(src, srcLen, size) && Decompress(src, srcLen, dst, size);
}

edl_bool DecodeBounded(const uint8_t* src, uint32_t srcLen, uint8_t* dst, uint32_t dstLen)
{
    uint32_t size = 0;
    return FrameSize(src, srcLen, size) && size == dstLen && Decompress(src, srcLen, dst, size);
}

// Every export may run on several threads at once.
edl_bool isThreadSafe(void)
{
    return 1;
}

}  // extern "C"
