#pragma once
// What the writer needs from the encoding schemes, without knowing them: the
// schemes layer implements this over the codecs and the plug-in host.
#include <cstdint>
#include <span>
#include <memory>
#include <string>

#include "base/ByteBuffer.h"
#include "codecs/StreamOutput.h"
#include "talk/Prompt.h"

namespace tarvex {

enum class EncodeStatus {
    Encoded,     // the output holds storedLen encoded bytes
    NotSmaller,  // the output holds a valid encoding of storedLen bytes, not smaller than the input
    Declined,    // the scheme cannot encode this input; nothing usable was produced
    Refused,     // the scheme's encoder said it could not encode this input; nothing usable was
                 // produced, and nothing has been reported: `fault` names the encoder and the file
    Broke,       // the scheme's encoder gave an answer it cannot have; nothing usable was produced,
                 // and nothing has been reported: `fault` says why
    Failed,      // the scheme is unavailable; the failure has been reported
};

// Encodes one long file while it is read, in memory that does not grow with
// the file, into the bytes Encode would give for the whole.
class IStreamEncoder {
public:
    virtual ~IStreamEncoder() = default;
    virtual size_t WindowBytes() const = 0;
    // Encodes the next window of the file: WindowBytes() long, but for the
    // last. False when the file cannot be encoded this way (or the output
    // refused): nothing given out so far is of use.
    virtual bool Add(std::span<const uint8_t> window) = 0;
    // The length of the encoding if it were finished now.
    virtual uint64_t Length() const = 0;
    virtual bool Finish() = 0;
};

class ISchemeCoder {
public:
    virtual ~ISchemeCoder() = default;

    // Output buffer size the scheme needs for n input bytes; 0 when unknown.
    virtual uint32_t MemNeeded(uint32_t n, uint8_t scheme) = 0;

    // Encodes a file's bytes (name: the file's GBK name, for messages). On
    // Refused and Broke, `fault` gets a UTF-8 sentence naming the encoder and
    // the file.
    virtual EncodeStatus Encode(std::span<const uint8_t> input, std::span<uint8_t> output, uint32_t& storedLen,
                                uint8_t scheme, const std::string& name, std::string& fault) = 0;

    // Decodes stored bytes (already unscrambled) into `out`, a new buffer of
    // fileSize bytes, allocated only once the scheme is known to be able to
    // decode (so a damaged size costs nothing when it cannot). Reports its
    // own failures (name: the file's GBK name).
    virtual bool Decode(std::span<const uint8_t> stored, uint32_t fileSize, ByteBuffer& out, uint8_t scheme,
                        const std::string& name) = 0;

    // Whether Encode and Decode of the scheme may run on a worker thread
    // (several at a time). Plug-in modules only when they declare it: the
    // others are called from one thread, one call at a time.
    // Called from every worker, many times per file: it must be cheap and
    // safe to call concurrently.
    virtual bool ThreadSafe(uint8_t scheme) const = 0;
    // Whether StreamEncoder gives an encoder for the scheme.
    virtual bool Streams(uint8_t /*scheme*/) const { return false; }
    // An encoder of the scheme for long files that gives its output to
    // `out` as it goes; none where the scheme encodes only whole files.
    virtual std::unique_ptr<IStreamEncoder> StreamEncoder(uint8_t /*scheme*/, IStreamOutput& /*out*/)
    {
        return nullptr;
    }
    // A coder of the same schemes that reports through `prompt`, for a worker.
    virtual std::unique_ptr<ISchemeCoder> ReportingTo(IPrompt& prompt) const = 0;
};

}  // namespace tarvex
