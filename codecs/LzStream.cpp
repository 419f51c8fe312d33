#include "codecs/LzStream.h"

#include <optional>

namespace tarvex {

LzStreamEncoder::LzStreamEncoder(IStreamOutput& out, size_t pieceBytes, size_t piecesPerWindow, unsigned threads)
    : pieceBytes_(pieceBytes), piecesPerWindow_(piecesPerWindow), threads_(threads), joiner_(out)
{
}

bool LzStreamEncoder::Add(std::span<const uint8_t> window)
{
    if (window.empty()) return true;
    // Grown once, to a whole window's worth: later windows reuse its pages.
    if (room_.empty()) room_.resize(PiecesRoom(WindowBytes(), pieceBytes_));
    const std::optional<std::vector<LzPiece>> pieces = CompressPieces(window, room_, pieceBytes_, threads_);
    if (!pieces) return false;
    for (const LzPiece& piece : *pieces)
        if (!joiner_.Add(piece)) return false;
    return true;
}

}  // namespace tarvex
