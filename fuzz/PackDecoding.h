#pragma once
#include <cstdint>
#include <span>

namespace tarvex::fuzz {

// Reads the bytes as a pack and, when that works, decodes every entry in memory.
void ReadAndDecodeAll(std::span<const uint8_t> bytes, bool withPassword);

}  // namespace tarvex::fuzz
