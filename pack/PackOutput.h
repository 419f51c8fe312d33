#pragma once
// The new pack file as it is written: its bytes go through the safe file
// writer, the tables' fields through the pack's scrambler, a file's stored
// bytes through the data scrambler. The first failure is reported once; every
// later write is then refused without a word.
#include <cstdint>
#include <span>
#include <string>

#include "format/PasswordKeys.h"
#include "format/Scrambler.h"
#include "platform/RangeCopy.h"
#include "platform/SafeFileWriter.h"
#include "talk/Prompt.h"

namespace tarvex {

class PackOutput {
public:
    PackOutput(const KeySchedule& keys, IPrompt& prompt) : keys_(keys), scr_(keys), prompt_(prompt) {}

    // Reports a failure.
    bool Open(const std::string& target);
    // For writing the pack front to back to standard output (a pipe, say):
    // nothing written can then be dropped. Reports a failure.
    bool OpenStandardOutput(const std::string& shown);
    bool Streams() const { return out_.Streams(); }
    // The text of a failure to write the pack, with its target and reason.
    std::string FailureText(const std::string& error) const;
    uint64_t Position() const { return out_.Position(); }
    // The scrambler of the tables' fields.
    Scrambler& Tables() { return scr_; }

    bool Put(std::span<const uint8_t> bytes);
    bool PutU8(uint8_t v) { return Put({&v, 1}); }
    bool PutU16(uint16_t v)
    {
        const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
        return Put(b);
    }
    // The fields below go through the tables' scrambler.
    bool PutDword(uint32_t plain);
    bool PutName(const std::string& name);
    bool PutCheckBlock(unsigned length);

    // A file's stored bytes from position `at` of the file, scrambled in
    // place first when the pack is protected.
    bool PutScrambled(std::span<uint8_t> stored, uint64_t at);
    // Copies a range of `from` to the end; nothing reported: the caller knows
    // whose bytes they were. `scratch` takes the pieces that cannot go in the
    // kernel; `error` gets the system's words.
    CopyStatus PutRange(File& from, const RangeCopy& range, std::span<uint8_t> scratch, std::string& error);
    // Drops what was written from `start` on. Reports a failure.
    bool DropFrom(uint64_t start);
    // Reports a failure to write; later writes are refused.
    bool Fail(const std::string& error);

    SafeFileWriter& Writer() { return out_; }
    const std::string& TargetPath() const { return out_.TargetPath(); }

private:
    const KeySchedule& keys_;
    Scrambler scr_;
    IPrompt& prompt_;
    SafeFileWriter out_;
    bool failed_ = false;  // a failure already reported
};

}  // namespace tarvex
