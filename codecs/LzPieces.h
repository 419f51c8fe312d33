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

// Compresses src in pieces of pieceBytes on up to `threads` threads and
// joins them into dst. Returns the stream length, or none when dst cannot
// hold every piece's worst case side by side (the caller then compresses in
// one piece).
std::optional<uint32_t> LzEncodeInPieces(std::span<const uint8_t> src, std::span<uint8_t> dst, size_t pieceBytes,
                                         unsigned threads);

}  // namespace tarvex
