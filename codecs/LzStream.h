#pragma once
// A long input compressed for the LZ scheme while it is read: it arrives
// window by window, each window's pieces are compressed on several threads,
// and the joined stream is handed out as it becomes final. The stream is the
// one LzEncode makes of the whole input in pieces, byte for byte; memory
// stays at one window and its compressed pieces whatever the input's length.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/LzCodec.h"
#include "codecs/LzPieces.h"

namespace tarvex {

class LzStreamEncoder {
public:
    // Pieces as LzEncode cuts them, one to a thread: a window stays small
    // enough to be read and compressed while it is still in the caches.
    LzStreamEncoder(IStreamOutput& out, unsigned threads)
        : LzStreamEncoder(out, LzPieceBytes(), std::max(2u, threads), threads)
    {
    }
    LzStreamEncoder(IStreamOutput& out, size_t pieceBytes, size_t piecesPerWindow, unsigned threads);

    size_t WindowBytes() const { return pieceBytes_ * piecesPerWindow_; }
    // Compresses the next window of the input: WindowBytes() long, but for
    // the last. False when it cannot be joined or the output refused.
    bool Add(std::span<const uint8_t> window);
    // The stream's length if it were finished now.
    uint64_t Length() const { return joiner_.Length(); }
    bool Finish() { return joiner_.Finish(); }

private:
    size_t pieceBytes_;
    size_t piecesPerWindow_;
    unsigned threads_;
    std::vector<uint8_t> room_;
    LzJoiner joiner_;
};

}  // namespace tarvex
