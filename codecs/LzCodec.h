#pragma once
// The LZ scheme: one LZO1X stream made by the LZO1X-1 compressor, nothing
// before or after it. The decoded length is not stored in the stream.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace tarvex {

// The most the LZO1X-1 compressor writes for len input bytes.
size_t LzWorstCase(size_t len);

// Inputs of two pieces or more are compressed in pieces on all cores.
size_t LzPieceBytes();

// The most bytes a stream of storedLen bytes can decode to: one byte of a
// long match stands for at most 255 of its bytes, and a stream's first codes
// a few more.
uint64_t LzMostDecoded(uint64_t storedLen);

// Compresses the whole of src and returns the stream length (long inputs in
// pieces on all cores, joined into the one stream).
// dst is normally sized 3 x src.size(), at least 5 bytes. Returns 0 only when
// the stream does not fit into dst.
uint32_t LzEncode(std::span<const uint8_t> src, std::span<uint8_t> dst);

// Decompresses one LZO1X stream with the bounds-checked decompressor. True only
// when the stream decodes without error, uses all of stored and fills out
// exactly (out.size() is the file size).
bool LzDecode(std::span<const uint8_t> stored, std::span<uint8_t> out);

// The exact length one LZO1X stream decodes to, found by walking its codes
// without writing anything; none when the stream cannot decode (it is cut
// short, reaches back before its start, lacks the end marker or has bytes
// after it). Every stream LzDecode accepts gives the length it decodes to.
std::optional<uint64_t> LzStreamLength(std::span<const uint8_t> stored);

}  // namespace tarvex
