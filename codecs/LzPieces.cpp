#include "codecs/LzPieces.h"

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "codecs/LzCodec.h"

namespace tarvex {

namespace {

// Reads the count of a code whose short count was zero: zero bytes add 255
// each, the first other byte adds itself.
bool LongCount(std::span<const uint8_t> s, size_t& ip, size_t& count)
{
    while (ip < s.size() && s[ip] == 0) {
        count += 255;
        ++ip;
    }
    if (ip >= s.size()) return false;
    count += s[ip++];
    return true;
}

// Reads the code of a literal run (a byte below 16) and its literal count.
bool LiteralRunCode(std::span<const uint8_t> s, size_t& ip, size_t& count)
{
    count = s[ip++];
    if (count == 0) {
        if (!LongCount(s, ip, count)) return false;
        count += 15;
    }
    count += 3;
    return true;
}

}  // namespace

std::optional<LzStreamShape> ShapeOfLzStream(std::span<const uint8_t> s)
{
    LzStreamShape shape;
    size_t ip = 0;
    if (s.empty()) return std::nullopt;
    // The first run has a code of its own at the start of a stream.
    if (s[0] > 17) {
        shape.head = s[0] - 17u;
        shape.headCode = 1;
    } else if (s[0] < 16) {
        if (!LiteralRunCode(s, ip, shape.head)) return std::nullopt;
        shape.headCode = ip;
    } else {
        return std::nullopt;  // a match before any literal
    }
    ip = shape.headCode + shape.head;
    shape.bodyEnd = ip;
    bool afterStatelessMatch = false;

    while (ip < s.size()) {
        const uint8_t t = s[ip];
        if (afterStatelessMatch && t < 16) {
            size_t count = 0;
            if (!LiteralRunCode(s, ip, count) || count > s.size() - ip) return std::nullopt;
            ip += count;
            shape.tail = count;
            afterStatelessMatch = false;
            continue;
        }
        // A match. Codes below 16 mean different matches after a literal
        // run and after a match's own literals: the pieces could not be
        // joined without decoding them, and LZO1X-1 does not write them.
        if (t < 16) return std::nullopt;
        ++ip;
        if (t < 64) {
            size_t count = t & (t >= 32 ? 31 : 7);
            if (count == 0 && !LongCount(s, ip, count)) return std::nullopt;
            if (ip + 2 > s.size()) return std::nullopt;
            const bool end = t < 32 && (t & 8) == 0 && (s[ip] >> 2) == 0 && s[ip + 1] == 0;
            ip += 2;
            if (end) return ip == s.size() ? std::optional(shape) : std::nullopt;
        } else {
            if (ip + 1 > s.size()) return std::nullopt;
            ++ip;
        }
        const unsigned state = s[ip - 2] & 3u;
        if (state > s.size() - ip) return std::nullopt;
        shape.hasMatch = true;
        shape.bodyEnd = ip;
        shape.tail = state;
        ip += state;
        afterStatelessMatch = state == 0;
    }
    return std::nullopt;  // no end marker
}

namespace {

// Writes the joined stream from left to right over the pieces, which wait in
// their slots further right.
class Joiner {
public:
    Joiner(std::span<const uint8_t> src, std::span<uint8_t> dst) : src_(src), dst_(dst) {}

    // Adds a run of literals that follows the pending ones in src.
    void AddLiterals(size_t count) { pending_ += count; }

    // Writes the pending literals, then `body` (a piece's codes from its
    // first match to its last); limit is where unread piece bytes begin.
    bool Put(std::span<const uint8_t> body, size_t srcEnd, size_t limit)
    {
        if (!Flush(srcEnd, limit)) return false;
        std::memmove(dst_.data() + out_, body.data(), body.size());
        out_ += body.size();
        // The last match's literals, if it counted any, join the next run.
        dst_[out_ - 2] &= 0xFC;
        started_ = true;
        return true;
    }

    // Writes the last run and the end marker.
    std::optional<uint32_t> Finish(size_t limit)
    {
        if (!Flush(src_.size(), limit) || out_ + 3 > limit) return std::nullopt;
        dst_[out_++] = 0x11;
        dst_[out_++] = 0;
        dst_[out_++] = 0;
        return static_cast<uint32_t>(out_);
    }

private:
    // The pending literals end at srcEnd in src.
    bool Flush(size_t srcEnd, size_t limit)
    {
        const size_t t = pending_;
        pending_ = 0;
        if (t == 0) return true;
        uint8_t code[8];
        size_t codeLength = 0;
        size_t zeros = 0;
        if (!started_ && t <= 238) {
            code[codeLength++] = static_cast<uint8_t>(17 + t);
        } else if (started_ && t <= 3) {
            dst_[out_ - 2] |= static_cast<uint8_t>(t);  // counted in the state bits of the match before
        } else if (t <= 18) {
            code[codeLength++] = static_cast<uint8_t>(t - 3);
        } else {
            size_t rest = t - 18;
            zeros = 1 + (rest - 1) / 255;
            rest -= (zeros - 1) * 255;
            code[codeLength++] = static_cast<uint8_t>(rest);
        }
        if (out_ + zeros + codeLength + t > limit) return false;
        std::memset(dst_.data() + out_, 0, zeros);
        out_ += zeros;
        std::memcpy(dst_.data() + out_, code, codeLength);
        out_ += codeLength;
        std::memcpy(dst_.data() + out_, src_.data() + srcEnd - t, t);
        out_ += t;
        return true;
    }

    std::span<const uint8_t> src_;
    std::span<uint8_t> dst_;
    size_t out_ = 0;
    size_t pending_ = 0;
    bool started_ = false;  // a match has been written: the output ends with its code
};

}  // namespace

std::optional<uint32_t> LzEncodeInPieces(std::span<const uint8_t> src, std::span<uint8_t> dst, size_t pieceBytes,
                                         unsigned threads)
{
    const size_t pieces = (src.size() + pieceBytes - 1) / pieceBytes;
    std::vector<size_t> slots(pieces + 1, 0);
    for (size_t i = 0; i < pieces; ++i)
        slots[i + 1] = slots[i] + LzWorstCase(std::min(pieceBytes, src.size() - i * pieceBytes));
    if (pieces < 2 || slots[pieces] > dst.size()) return std::nullopt;

    std::vector<uint32_t> lengths(pieces, 0);
    std::vector<std::optional<LzStreamShape>> shapes(pieces);
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t i; (i = next++) < pieces;) {
            const std::span<const uint8_t> piece =
                src.subspan(i * pieceBytes, std::min(pieceBytes, src.size() - i * pieceBytes));
            const std::span<uint8_t> slot = dst.subspan(slots[i], slots[i + 1] - slots[i]);
            lengths[i] = LzEncode(piece, slot);
            if (lengths[i] != 0) shapes[i] = ShapeOfLzStream(slot.first(lengths[i]));
        }
    };
    {
        std::vector<std::jthread> helpers;
        for (unsigned k = 1; k < std::min<size_t>(threads, pieces); ++k) helpers.emplace_back(work);
        work();
    }

    Joiner joiner(src, dst);
    for (size_t i = 0; i < pieces; ++i) {
        if (!shapes[i]) return std::nullopt;
        const LzStreamShape& shape = *shapes[i];
        joiner.AddLiterals(shape.head);
        if (!shape.hasMatch) continue;
        const size_t bodyStart = slots[i] + shape.headCode + shape.head;
        const std::span<const uint8_t> body(dst.data() + bodyStart, slots[i] + shape.bodyEnd - bodyStart);
        if (!joiner.Put(body, i * pieceBytes + shape.head, bodyStart)) return std::nullopt;
        joiner.AddLiterals(shape.tail);
    }
    return joiner.Finish(dst.size());
}

}  // namespace tarvex
