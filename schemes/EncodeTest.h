#pragma once
// The encode test: a file's bytes encoded in memory with the scheme it was
// given, so that its encoded size and ratio are known before a save, with the
// advice to store it unencoded when the scheme's encoder declines it (the
// built-in ones decline what they do not make smaller).
#include <cstddef>
#include <optional>
#include <string>

#include "base/ByteBuffer.h"
#include "catalogue/Catalogue.h"
#include "pack/PackArchive.h"
#include "schemes/Extraction.h"
#include "schemes/PluginHost.h"
#include "schemes/SchemeDispatch.h"
#include "talk/Prompt.h"

namespace tarvex {

enum class EncodeTestOutcome {
    Measured,  // the encoded size is known now
    Advised,   // declined: the user took the advice, the scheme is none now
    Kept,      // declined: the user kept the scheme
    Failed,    // the bytes could not be read or the scheme broke (reported)
};

// The progress text while an entry is tested: its name and its scheme's.
std::string EncodeTestText(const Catalogue& catalogue, size_t index);

// Tests entries of one catalogue; plug-in modules and the pack file stay
// open from one entry to the next.
class EncodeTester {
public:
    EncodeTester(Catalogue& catalogue, const CPackArchive& archive, IPrompt& prompt, PluginHost plugins = PluginHost());

    // TestEncodeEntry: encodes entry index with its scheme and records the
    // encoded size. Bytes held in the pack are decoded from it in memory;
    // others are read from their file on disk.
    EncodeTestOutcome TestEncodeEntry(size_t index);

private:
    bool ReadBytes(size_t index, ByteBuffer& bytes);

    Catalogue& catalogue_;
    const CPackArchive& archive_;
    IPrompt& prompt_;
    SchemeDispatch dispatch_;
    PackExtractor extractor_;
    std::optional<bool> packOpen_;
};

}  // namespace tarvex
