#pragma once
// Where an encoding made while its input is read goes, in order: encoded
// bytes, and runs of the input that go into it as they are. Such runs are
// given by their place in the input, not as bytes, so a run of any length
// costs the encoder no memory: the receiver takes them from the window it
// handed over, or reads them from the input again.
#include <cstdint>
#include <span>

namespace tarvex {

class IStreamOutput {
public:
    virtual ~IStreamOutput() = default;
    // False ends the encoding.
    virtual bool Codes(std::span<const uint8_t> codes) = 0;
    // The `count` input bytes that end at `end`.
    virtual bool Literals(uint64_t end, uint64_t count) = 0;
};

}  // namespace tarvex
