// The Zstandard encoder modules. One source builds two modules that differ
// only in their compression level, so the level is part of what the provider
// name and the module file say rather than a hidden setting.
// Stored bytes: one Zstandard frame that records the file size and carries a
// checksum of the content.
#include <zstd.h>

#include "plugins/EncoderModule.h"

namespace {

#if TARVEX_ZSTD_STRONG
constexpr int kLevel = 19;
constexpr const char* kName = "Zstandard 强力";
constexpr const char* kInfo =
    "Zstandard 强力编码（zstd，压缩级别 19）\n"
    "压缩率高而编码较慢，解码和快速编码一样快。适合发布用的文件包。\n"
    "存储格式：一个记录原始大小并带内容校验的 Zstandard 帧。";
#else
constexpr int kLevel = 3;
constexpr const char* kName = "Zstandard 快速";
constexpr const char* kInfo =
    "Zstandard 快速编码（zstd，压缩级别 3）\n"
    "编码和解码都很快，压缩率通常高于 Deflate。适合开发中经常存盘的文件包。\n"
    "存储格式：一个记录原始大小并带内容校验的 Zstandard 帧。";
#endif

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

bool Decompress(const uint8_t* src, uint32_t srcLen, uint8_t* dst, uint32_t size)
{
    const size_t produced = ZSTD_decompress(dst, size, src, srcLen);
    return !ZSTD_isError(produced) && produced == size;
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
    ZSTD_CCtx* cctx = capacity ? ZSTD_createCCtx() : nullptr;
    if (!cctx) return 0;
    const bool configured = !ZSTD_isError(ZSTD_CCtx_setParameter(cctx, ZSTD_c_compressionLevel, kLevel)) &&
                            !ZSTD_isError(ZSTD_CCtx_setParameter(cctx, ZSTD_c_checksumFlag, 1)) &&
                            !ZSTD_isError(ZSTD_CCtx_setParameter(cctx, ZSTD_c_contentSizeFlag, 1));
    const size_t length = configured ? ZSTD_compress2(cctx, dst, capacity, src, n) : 0;
    ZSTD_freeCCtx(cctx);
    if (!configured || ZSTD_isError(length)) return 0;
    *encodedLen = static_cast<uint32_t>(length);
    return 1;
}

edl_bool Decode(const uint8_t* src, uint32_t srcLen, uint8_t* dst)
{
    uint32_t size = 0;
    return FrameSize(src, srcLen, size) && Decompress(src, srcLen, dst, size);
}

edl_bool DecodeBounded(const uint8_t* src, uint32_t srcLen, uint8_t* dst, uint32_t dstLen)
{
    uint32_t size = 0;
    return FrameSize(src, srcLen, size) && size == dstLen && Decompress(src, srcLen, dst, size);
}

}  // extern "C"
