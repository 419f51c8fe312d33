#pragma once
// A long input compressed on several threads: its pieces are compressed one
// by one, each as a stream of its own, and the streams are joined into the
// one LZO1X stream the LZ scheme stores. A piece's matches never reach back
// into an earlier piece, so only the literal runs where two pieces meet are
// written anew; the result decodes with the usual decompressor, and it is the
// same byte for byte whatever the number of threads.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "codecs/StreamOutput.h"

namespace tarvex {

// Where a compressed piece may be cut and joined to its neighbours: its first
// literal run, its last match and the literals after that match.
struct LzStreamShape {
    size_t headCode = 0;    // bytes of the code of the first literal run
    size_t head = 0;        // literals of the first run, right after its code
    bool hasMatch = false;  // false: the piece is one literal run
    size_t bodyEnd = 0;     // end of the last match's code
    size_t tail = 0;        // literals after the last match, the last of the piece
};

// The shape of one LZO1X stream as the LZO1X-1 compressor writes it; none
// for a damaged stream or one with codes that depend on what precedes them.
std::optional<LzStreamShape> ShapeOfLzStream(std::span<const uint8_t> stream);

// One piece compressed as a stream of its own.
struct LzPiece {
    std::span<const uint8_t> stream;
    LzStreamShape shape;
    size_t inputBytes = 0;  // how much of the input it holds
};

// Compresses src in pieces of pieceBytes on up to `threads` threads, each
// into a slot of its own in `room` (PiecesRoom bytes); none when room is
// smaller or a piece has a shape that cannot be joined. What a thread threw
// (no memory for its compressor) is thrown here.
std::optional<std::vector<LzPiece>> CompressPieces(std::span<const uint8_t> src, std::span<uint8_t> room,
                                                   size_t pieceBytes, unsigned threads);
size_t PiecesRoom(size_t srcBytes, size_t pieceBytes);

// Joins pieces, in input order, into one stream. Only the literal runs where
// pieces meet are written anew; the last two bytes of a match's code stay
// here until the literals after it are known, since its state bits count up
// to three of them. The stream goes to the output left to right; a false from
// the output ends it.
class LzJoiner {
public:
    explicit LzJoiner(IStreamOutput& out) : out_(out) {}
    bool Add(const LzPiece& piece);
    // Writes the last literal run and the end marker.
    bool Finish();
    // The length of the stream if it were finished now.
    uint64_t Length() const;

private:
    uint64_t RunCost(uint64_t literals) const;
    bool Give(std::span<const uint8_t> codes);
    bool Flush();

    IStreamOutput& out_;
    uint64_t given_ = 0;     // bytes handed to the output
    uint64_t inputEnd_ = 0;  // input joined so far; the pending literals end here
    uint64_t pending_ = 0;   // literals not yet written
    uint8_t held_[2] = {};
    bool started_ = false;   // a match has been joined: held_ ends its code
};

// Compresses src in pieces of pieceBytes on up to `threads` threads and
// joins them into dst. Returns the stream length, or none when dst cannot
// hold every piece's worst case side by side (the caller then compresses in
// one piece).
std::optional<uint32_t> LzEncodeInPieces(std::span<const uint8_t> src, std::span<uint8_t> dst, size_t pieceBytes,
                                         unsigned threads);

}  // namespace tarvex
