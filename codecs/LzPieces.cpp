#include "codecs/LzPieces.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "codecs/LzCodec.h"
#include "codecs/LzCodes.h"
#include "threads/RunOnThreads.h"

namespace tarvex {

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
        if (!LzLiteralRunCode(s, ip, shape.head)) return std::nullopt;
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
            if (!LzLiteralRunCode(s, ip, count) || count > s.size() - ip) return std::nullopt;
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
            if (count == 0 && !LzLongCount(s, ip, count)) return std::nullopt;
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

// Where the pieces' slots start, side by side, each sized for its worst
// case; the last entry is the room they take together.
std::vector<size_t> SlotStarts(size_t srcBytes, size_t pieceBytes)
{
    const size_t pieces = (srcBytes + pieceBytes - 1) / pieceBytes;
    std::vector<size_t> slots(pieces + 1, 0);
    for (size_t i = 0; i < pieces; ++i)
        slots[i + 1] = slots[i] + LzWorstCase(std::min(pieceBytes, srcBytes - i * pieceBytes));
    return slots;
}

// Writes the joined stream from left to right over the pieces, which wait in
// their slots further right: a write must not pass `limit`, where the
// unread codes of the piece being joined begin.
class InPlaceOutput : public IStreamOutput {
public:
    InPlaceOutput(std::span<const uint8_t> src, std::span<uint8_t> dst) : src_(src), dst_(dst) {}
    void SetLimit(size_t limit) { limit_ = limit; }
    size_t Length() const { return out_; }

    bool Codes(std::span<const uint8_t> codes) override
    {
        // A piece's own codes move left, never past themselves.
        const bool inPlace = codes.data() >= dst_.data() && codes.data() < dst_.data() + dst_.size();
        if (!inPlace && out_ + codes.size() > limit_) return false;
        std::memmove(dst_.data() + out_, codes.data(), codes.size());
        out_ += codes.size();
        return true;
    }
    bool Literals(uint64_t end, uint64_t count) override
    {
        if (out_ + count > limit_) return false;
        std::memcpy(dst_.data() + out_, src_.data() + end - count, count);
        out_ += count;
        return true;
    }

private:
    std::span<const uint8_t> src_;
    std::span<uint8_t> dst_;
    size_t out_ = 0;
    size_t limit_ = 0;
};

}  // namespace

std::optional<std::vector<LzPiece>> CompressPieces(std::span<const uint8_t> src, std::span<uint8_t> room,
                                                   size_t pieceBytes, unsigned threads)
{
    const std::vector<size_t> slots = SlotStarts(src.size(), pieceBytes);
    const size_t pieces = slots.size() - 1;
    if (slots[pieces] > room.size()) return std::nullopt;

    std::vector<uint32_t> lengths(pieces, 0);
    std::vector<std::optional<LzStreamShape>> shapes(pieces);
    std::atomic<size_t> next{0};
    const auto work = [&](size_t) {
        for (size_t i; (i = next++) < pieces;) {
            const std::span<const uint8_t> piece =
                src.subspan(i * pieceBytes, std::min(pieceBytes, src.size() - i * pieceBytes));
            const std::span<uint8_t> slot = room.subspan(slots[i], slots[i + 1] - slots[i]);
            lengths[i] = LzEncode(piece, slot);
            if (lengths[i] != 0) shapes[i] = ShapeOfLzStream(slot.first(lengths[i]));
        }
    };
    RunOnThreads(std::min<size_t>(threads, pieces), work);
    std::vector<LzPiece> made(pieces);
    for (size_t i = 0; i < pieces; ++i) {
        if (!shapes[i]) return std::nullopt;
        made[i] = {room.subspan(slots[i], lengths[i]), *shapes[i], std::min(pieceBytes, src.size() - i * pieceBytes)};
    }
    return made;
}

size_t PiecesRoom(size_t srcBytes, size_t pieceBytes)
{
    return SlotStarts(srcBytes, pieceBytes).back();
}

// The bytes Flush writes for t literals, the held ones aside.
uint64_t LzJoiner::RunCost(uint64_t t) const
{
    if (t == 0 || (started_ && t <= 3)) return t;
    if (!started_ && t <= 238) return 1 + t;
    if (t <= 18) return 1 + t;
    return 2 + (t - 19) / 255 + t;
}

uint64_t LzJoiner::Length() const
{
    return given_ + (started_ ? 2 : 0) + RunCost(pending_) + 3;
}

bool LzJoiner::Give(std::span<const uint8_t> codes)
{
    given_ += codes.size();
    return out_.Codes(codes);
}

// Writes the held end of the match before, then the pending literals with
// the code that counts them.
bool LzJoiner::Flush()
{
    const uint64_t t = pending_;
    pending_ = 0;
    uint8_t code[2];
    size_t codeLength = 0;
    uint64_t extraZeros = 0;  // each counts 255 literals more of a long run
    if (t == 0 || (started_ && t <= 3)) {
        held_[0] |= static_cast<uint8_t>(t);  // counted in the state bits of the match before
    } else if (!started_ && t <= 238) {
        code[codeLength++] = static_cast<uint8_t>(17 + t);
    } else if (t <= 18) {
        code[codeLength++] = static_cast<uint8_t>(t - 3);
    } else {
        extraZeros = (t - 19) / 255;
        code[codeLength++] = 0;
        code[codeLength++] = static_cast<uint8_t>(t - 18 - extraZeros * 255);
    }
    if (started_ && !Give(held_)) return false;
    static constexpr uint8_t kZeros[256] = {};
    for (uint64_t left = extraZeros; left > 0;) {
        const size_t step = static_cast<size_t>(std::min<uint64_t>(left, sizeof kZeros));
        if (!Give({kZeros, step})) return false;
        left -= step;
    }
    if (t == 0) return true;
    if (codeLength > 0 && !Give({code, codeLength})) return false;
    given_ += t;
    return out_.Literals(inputEnd_, t);
}

bool LzJoiner::Add(const LzPiece& piece)
{
    const LzStreamShape& shape = piece.shape;
    pending_ += shape.head;
    inputEnd_ += shape.head;
    if (shape.hasMatch) {
        if (!Flush()) return false;
        const size_t bodyStart = shape.headCode + shape.head;
        const std::span<const uint8_t> body = piece.stream.subspan(bodyStart, shape.bodyEnd - bodyStart);
        if (!Give(body.first(body.size() - 2))) return false;
        // The last match's literals, if it counted any, join the next run.
        held_[0] = body[body.size() - 2] & 0xFC;
        held_[1] = body[body.size() - 1];
        started_ = true;
        pending_ += shape.tail;
    }
    inputEnd_ += piece.inputBytes - shape.head;
    return true;
}

bool LzJoiner::Finish()
{
    static constexpr uint8_t kEnd[3] = {0x11, 0, 0};
    return Flush() && Give(kEnd);
}

std::optional<uint32_t> LzEncodeInPieces(std::span<const uint8_t> src, std::span<uint8_t> dst, size_t pieceBytes,
                                         unsigned threads)
{
    if (src.size() <= pieceBytes) return std::nullopt;
    const std::optional<std::vector<LzPiece>> pieces = CompressPieces(src, dst, pieceBytes, threads);
    if (!pieces) return std::nullopt;
    InPlaceOutput output(src, dst);
    LzJoiner joiner(output);
    for (const LzPiece& piece : *pieces) {
        const size_t slot = static_cast<size_t>(piece.stream.data() - dst.data());
        output.SetLimit(slot + piece.shape.headCode + piece.shape.head);
        if (!joiner.Add(piece)) return std::nullopt;
    }
    output.SetLimit(dst.size());
    if (!joiner.Finish()) return std::nullopt;
    return static_cast<uint32_t>(output.Length());
}

}  // namespace tarvex
