#pragma once
// The scramblers of the pack format. Each has its own key position; the
// format defines how every field advances them, so a read or a write owns one
// Scrambler and resets it at its start. File data, scrambled from the start
// of each file, needs no position kept (ScrambleFileData). Scrambling and
// unscrambling are the same exclusive-or.
#include <cstddef>
#include <cstdint>
#include <span>

#include "format/PasswordKeys.h"

namespace tarvex {

class Scrambler {
public:
    explicit Scrambler(const KeySchedule& keys) : keys_(keys) {}

    // ResetScramblers: every position back to 0.
    void Reset();

    // v XOR (byte key AND low `bits` bits). bits == 255 only restarts.
    uint8_t Byte(uint8_t v, unsigned bits = 8);
    // Low byte of v XOR low byte of the word key; the high byte becomes 0.
    // v == 0xFFFF restarts the position and is returned unchanged.
    uint16_t Word(uint16_t v);
    // v XOR double-word key. v == 0xFFFFFFFF restarts and is returned unchanged.
    uint32_t Dword(uint32_t v);
    // Names of 0..255 bytes; a 255-byte name stays plain and restarts.
    void Name(std::span<uint8_t> bytes);
    uint8_t NextCheckByte();

    // Position the next Dword() call will use (the writer checks that no
    // scrambled value comes out as all ones, which a reader could not follow).
    uint32_t PeekDwordKey() const { return keys_.dwordKeys[dwordPos_]; }

    const KeySchedule& Keys() const { return keys_; }

private:
    KeySchedule keys_;
    unsigned bytePos_ = 0;
    unsigned wordPos_ = 0;
    unsigned dwordPos_ = 0;
    unsigned namePos_ = 0;
    unsigned checkPos_ = 0;
};

// Scrambles one file's stored bytes from data position `start` (0 for a whole
// file). Word-wide; needs no Scrambler, so files can be scrambled in parallel.
void ScrambleFileData(std::span<uint8_t> bytes, const std::array<uint8_t, 16>& streamKey,
                      unsigned start = 0);

}  // namespace tarvex
