#pragma once
// The operations that dispatch by scheme code: buffer sizes, encoding and
// decoding of one file's bytes. Plug-in schemes reach their module through
// the catalogue's plug-in table.
#include <cstdint>
#include <span>

#include "archive/Catalogue.h"
#include "archive/Prompt.h"
#include "archive/SchemeCoder.h"

namespace tarvex {

class SchemeDispatch final : public ISchemeCoder {
public:
    SchemeDispatch(const Catalogue& catalogue, IPrompt& prompt) : catalogue_(catalogue), prompt_(prompt) {}

    // GetMemNeeded: n for none and RLE, 3n (at least 5) for LZ, the module's
    // answer for a plug-in (0 when it cannot be asked), 0 for unused codes.
    uint32_t GetMemNeeded(uint32_t n, uint8_t scheme);

    // EncodeBuffer: true when the input was encoded (for LZ: strictly
    // smaller). RLE that declines copies the input unchanged into output.
    bool EncodeBuffer(std::span<const uint8_t> input, std::span<uint8_t> output, uint32_t& encodedLen,
                      uint8_t scheme);

    // Whether a decoder for the scheme can exist here (a built-in scheme, or
    // an occupied plug-in slot): asked before a file-size buffer is allocated.
    bool Decodable(uint8_t scheme) const;

    uint32_t MemNeeded(uint32_t n, uint8_t scheme) override { return GetMemNeeded(n, scheme); }
    EncodeStatus Encode(std::span<const uint8_t> input, std::span<uint8_t> output, uint32_t& storedLen,
                        uint8_t scheme) override;
    bool Decode(std::span<const uint8_t> stored, std::span<uint8_t> output, uint8_t scheme,
                const std::string& name) override;

private:
    const PluginSlot* SlotOf(uint8_t scheme) const;

    const Catalogue& catalogue_;
    IPrompt& prompt_;
};

}  // namespace tarvex
