#include "codecs/LzCodec.h"

#include <lzo/lzo1x.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "codecs/LzPieces.h"
#include "threads/ThreadPool.h"

namespace tarvex {

namespace {

bool LzoReady()
{
    static const bool ready = lzo_init() == LZO_E_OK;
    return ready;
}

// Work memory of the compressor, one per thread, aligned as LZO requires.
lzo_voidp WorkMemory()
{
    constexpr size_t kWords = (LZO1X_1_MEM_COMPRESS + sizeof(lzo_align_t) - 1) / sizeof(lzo_align_t);
    thread_local std::vector<lzo_align_t> memory(kWords);
    return memory.data();
}

// Output buffer for when dst is smaller than the worst case; kept per thread
// and grown as needed so repeated calls do not reallocate.
std::span<uint8_t> Scratch(size_t size)
{
    thread_local std::vector<uint8_t> scratch;
    if (scratch.size() < size) {
        scratch.resize(size);
    }
    return std::span<uint8_t>(scratch).first(size);
}

}  // namespace

// A piece is a whole number of the compressor's own blocks (it starts a
// fresh dictionary every 49152 bytes), so cutting there costs next to
// nothing in size.
size_t LzPieceBytes()
{
    return 32 * 49152;
}

size_t LzWorstCase(size_t len)
{
    return len + len / 16 + 64 + 3;
}

uint32_t LzEncode(std::span<const uint8_t> src, std::span<uint8_t> dst)
{
    if (!LzoReady()) {
        return 0;
    }
    if (src.size() >= 2 * LzPieceBytes()) {
        if (const std::optional<uint32_t> length =
                LzEncodeInPieces(src, dst, LzPieceBytes(), ThreadPool::Shared().Threads()))
            return *length;
    }
    const size_t worstCase = LzWorstCase(src.size());
    const bool direct = dst.size() >= worstCase;
    const std::span<uint8_t> target = direct ? dst : Scratch(worstCase);
    lzo_uint produced = 0;
    if (lzo1x_1_compress(src.data(), src.size(), target.data(), &produced, WorkMemory()) != LZO_E_OK ||
        produced > dst.size() || produced > std::numeric_limits<uint32_t>::max()) {
        return 0;
    }
    if (!direct) {
        std::memcpy(dst.data(), target.data(), produced);
    }
    return static_cast<uint32_t>(produced);
}

uint64_t LzMostDecoded(uint64_t storedLen)
{
    return 256 * storedLen + 64;
}

bool LzDecode(std::span<const uint8_t> stored, std::span<uint8_t> out)
{
    if (!LzoReady()) {
        return false;
    }
    lzo_uint produced = out.size();
    const int result = lzo1x_decompress_safe(stored.data(), stored.size(), out.data(), &produced, nullptr);
    return result == LZO_E_OK && produced == out.size();
}

}  // namespace tarvex
