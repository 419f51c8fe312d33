#include "codecs/RleCodec.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

namespace tarvex {

namespace {

constexpr size_t kHeaderSize = 4;
constexpr size_t kMaxLiteral = 127;
constexpr size_t kMinRun = 3;
constexpr size_t kMaxRun = 130;
constexpr uint8_t kRepeatFlag = 0x80;
// A repeat packet is two bytes for at most kMaxRun output bytes.
constexpr uint64_t kMaxOutputPerStoredByte = kMaxRun / 2;

uint32_t ReadLe32(std::span<const uint8_t> bytes)
{
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
}

void WriteLe32(std::span<uint8_t> bytes, uint32_t value)
{
    for (size_t k = 0; k < 4; ++k) {
        bytes[k] = static_cast<uint8_t>(value >> (8 * k));
    }
}

// First position at or after start where at least kMinRun equal bytes begin,
// or src.size() when there is none.
size_t FindRun(std::span<const uint8_t> src, size_t start)
{
    for (size_t i = start; i + 2 < src.size(); ++i) {
        if (src[i] == src[i + 1] && src[i + 1] == src[i + 2]) {
            return i;
        }
    }
    return src.size();
}

size_t RunLength(std::span<const uint8_t> src, size_t start)
{
    size_t end = start + 1;
    while (end < src.size() && src[end] == src[start]) {
        ++end;
    }
    return end - start;
}

// Packet output of the encoder. Every packet must end within limit bytes of
// dst; a packet that would not makes the write fail.
class PacketWriter {
public:
    PacketWriter(std::span<uint8_t> dst, size_t limit) : dst_(dst), limit_(limit) {}

    size_t Pos() const { return pos_; }

    // Writes bytes as literal packets of at most kMaxLiteral bytes each.
    bool Literals(std::span<const uint8_t> bytes)
    {
        while (!bytes.empty()) {
            const size_t count = std::min(bytes.size(), kMaxLiteral);
            if (pos_ + 1 + count > limit_) {
                return false;
            }
            dst_[pos_] = static_cast<uint8_t>(count);
            std::memcpy(dst_.data() + pos_ + 1, bytes.data(), count);
            pos_ += 1 + count;
            bytes = bytes.subspan(count);
        }
        return true;
    }

    bool Repeat(uint8_t value, size_t count)
    {
        if (pos_ + 2 > limit_) {
            return false;
        }
        dst_[pos_] = static_cast<uint8_t>(kRepeatFlag | (count - kMinRun));
        dst_[pos_ + 1] = value;
        pos_ += 2;
        return true;
    }

private:
    std::span<uint8_t> dst_;
    size_t limit_;
    size_t pos_ = kHeaderSize;
};

// Walks the packets of a stream that announces n bytes, handing each to
// `repeat` (where it goes, the byte, how many) or `literal` (where they go,
// the bytes, how many). False when a packet reads past the stream or the
// packets describe more or fewer than n bytes.
template <typename Repeat, typename Literal>
bool WalkPackets(std::span<const uint8_t> stored, size_t n, Repeat&& repeat, Literal&& literal)
{
    size_t in = kHeaderSize;
    size_t produced = 0;
    while (produced != n) {
        if (in >= stored.size()) {
            return false;
        }
        const uint8_t header = stored[in];
        const size_t room = n - produced;
        if (header & kRepeatFlag) {
            const size_t count = (header & 0x7Fu) + kMinRun;
            if (in + 2 > stored.size() || count > room) {
                return false;
            }
            repeat(produced, stored[in + 1], count);
            in += 2;
            produced += count;
        } else {
            const size_t count = header;
            if (in + 1 + count > stored.size() || count > room) {
                return false;
            }
            literal(produced, stored.data() + in + 1, count);
            in += 1 + count;
            produced += count;
        }
    }
    return true;
}

}  // namespace

bool RleEncode(std::span<const uint8_t> src, std::span<uint8_t> dst, uint32_t& encodedLen)
{
    const size_t len = src.size();
    if (dst.data() == nullptr || dst.size() < len || len > std::numeric_limits<uint32_t>::max()) {
        return false;
    }
    PacketWriter writer(dst, len);
    size_t done = 0;
    do {
        const size_t i = FindRun(src, done);
        if (writer.Pos() + (i - done) >= len || !writer.Literals(src.subspan(done, i - done))) {
            return false;
        }
        done = i;
        if (writer.Pos() + 2 >= len) {
            return false;
        }
        if (i == len) {
            break;
        }
        // A tail of 1 or 2 bytes left over from the run starts the next literal stretch.
        for (size_t run = RunLength(src, i); run >= kMinRun;) {
            const size_t count = std::min(run, kMaxRun);
            if (!writer.Repeat(src[i], count)) {
                return false;
            }
            run -= count;
            done += count;
        }
    } while (done != len);
    WriteLe32(dst, static_cast<uint32_t>(len));
    encodedLen = static_cast<uint32_t>(writer.Pos());
    return true;
}

bool RleDecodeInto(std::span<const uint8_t> stored, std::span<uint8_t> out)
{
    if (stored.size() < kHeaderSize || ReadLe32(stored) != out.size()) {
        return false;
    }
    return WalkPackets(
        stored, out.size(),
        [&](size_t at, uint8_t value, size_t count) { std::memset(out.data() + at, value, count); },
        [&](size_t at, const uint8_t* bytes, size_t count) { std::memcpy(out.data() + at, bytes, count); });
}

uint64_t RleMostDecoded(uint64_t storedLen)
{
    return storedLen < kHeaderSize ? 0 : kMaxOutputPerStoredByte * (storedLen - kHeaderSize);
}

std::optional<uint32_t> RleStreamLength(std::span<const uint8_t> stored)
{
    if (stored.size() < kHeaderSize) {
        return std::nullopt;
    }
    const uint32_t n = ReadLe32(stored);
    if (!WalkPackets(stored, n, [](size_t, uint8_t, size_t) {}, [](size_t, const uint8_t*, size_t) {})) {
        return std::nullopt;
    }
    return n;
}

}  // namespace tarvex
