#pragma once
// Run-length codec of the pack's RLE scheme.
//
// Encoded layout: 4 bytes decoded length N (little-endian), then packets until
// N bytes are described. A header byte H of 0x00-0x7F is a literal packet of H
// bytes; 0x80-0xFF a repeat packet: the next byte repeated (H & 0x7F) + 3 times.
#include <cstdint>
#include <optional>
#include <span>

namespace tarvex {

// Encodes src into dst, whose capacity must be at least src.size() bytes (the
// encoder never writes beyond src.size() bytes). Returns false when the result
// would not be shorter than the input by the encoder's checks, or when dst is
// absent; encodedLen is then left untouched and dst holds partial output.
bool RleEncode(std::span<const uint8_t> src, std::span<uint8_t> dst, uint32_t& encodedLen);

// Decodes stored into out, which must be exactly the decoded length N that the
// stream's header announces. False on any mismatch or malformed packet.
bool RleDecodeInto(std::span<const uint8_t> stored, std::span<uint8_t> out);

// The most bytes a stream of storedLen bytes can decode to: every packet a
// repeat of the longest run after the header.
uint64_t RleMostDecoded(uint64_t storedLen);

// The exact length a stream decodes to, found by walking its packets without
// writing anything: its announced length when RleDecodeInto would decode it,
// none otherwise.
std::optional<uint32_t> RleStreamLength(std::span<const uint8_t> stored);

}  // namespace tarvex
