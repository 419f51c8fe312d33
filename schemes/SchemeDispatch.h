#pragma once
// The operations that dispatch by scheme code: buffer sizes, encoding and
// decoding of one file's bytes. Plug-in schemes reach their module through
// the catalogue's plug-in table and the plug-in host.
#include <cstdint>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "catalogue/Catalogue.h"
#include "pack/SchemeCoder.h"
#include "schemes/PluginHost.h"
#include "schemes/SchemeId.h"
#include "talk/Prompt.h"

namespace tarvex {

// Decoded sizes a record may claim without its stream being walked first.
inline constexpr uint32_t kAllocatedUnwalked = 1 << 20;

class SchemeDispatch final : public ISchemeCoder {
public:
    // Loads the module of every slot of the catalogue's plug-in table to ask
    // whether it may run on several threads; one that cannot be loaded may
    // not (its failure is reported when a file needs it).
    SchemeDispatch(const Catalogue& catalogue, IPrompt& prompt, PluginHost plugins = PluginHost());
    // A dispatch of the same catalogue and modules that reports through
    // prompt, with the verdicts of `prototype`; it loads its modules itself.
    SchemeDispatch(const SchemeDispatch& prototype, IPrompt& prompt);

    // GetMemNeeded: n for none and RLE, 3n (at least 5) for LZ, the module's
    // answer for a plug-in (0 when it cannot be asked), 0 for unused codes.
    uint32_t GetMemNeeded(uint32_t n, uint8_t scheme);

    // EncodeBuffer: true when the input was encoded (for LZ: strictly
    // smaller; for a plug-in: its Encode said so and gave a length it can
    // have). RLE that declines copies the input unchanged into output. A
    // plug-in whose Encode says no is not reported; one that broke is.
    // name: the file's GBK name, for messages.
    bool EncodeBuffer(std::span<const uint8_t> input, std::span<uint8_t> output, uint32_t& encodedLen, uint8_t scheme,
                      const std::string& name = {});

    uint32_t MemNeeded(uint32_t n, uint8_t scheme) override { return GetMemNeeded(n, scheme); }
    // A plug-in whose Encode says no has refused the input (Refused); one
    // that leaves the length unset or gives one of 0 or beyond its buffer
    // has broken (Broke); both with the fault. One that cannot be loaded is
    // reported (Failed).
    EncodeStatus Encode(std::span<const uint8_t> input, std::span<uint8_t> output, uint32_t& storedLen, uint8_t scheme,
                        const std::string& name, std::string& fault) override;
    bool Decode(std::span<const uint8_t> stored, uint32_t fileSize, ByteBuffer& out, uint8_t scheme,
                const std::string& name) override;
    // Whether stored bytes of this size can be decoded into fileSize bytes
    // with the scheme (its module there, the sizes plausible); reports why
    // not. Checked before an output of the file's size is made.
    bool CanDecode(size_t storedSize, uint32_t fileSize, uint8_t scheme, const std::string& name);
    // Whether an RLE or LZ stream decodes to exactly fileSize bytes, found by
    // walking it without writing anything, so that a size a damaged record
    // only claims is never allocated. Reports the decoding failure when not.
    // Other schemes, and sizes up to kAllocatedUnwalked: true (decoding
    // checks them).
    bool StreamGives(std::span<const uint8_t> stored, uint32_t fileSize, uint8_t scheme, const std::string& name);
    // Decodes into `out`, which has exactly the file's size. Reports failures.
    bool DecodeInto(std::span<const uint8_t> stored, std::span<uint8_t> out, uint8_t scheme, const std::string& name);

    // Built-in schemes: true. A plug-in scheme: true only when its slot's
    // module declared it when this dispatch was made, and the slot still
    // names that module. Only reads; safe to call from any thread.
    bool ThreadSafe(uint8_t scheme) const override;
    bool Streams(uint8_t scheme) const override { return scheme == kSchemeLz; }
    std::unique_ptr<IStreamEncoder> StreamEncoder(uint8_t scheme, IStreamOutput& out) override;
    std::unique_ptr<ISchemeCoder> ReportingTo(IPrompt& prompt) const override
    {
        return std::make_unique<SchemeDispatch>(*this, prompt);
    }

private:
    const PluginSlot* SlotOf(uint8_t scheme) const;
    EncodeStatus PluginEncode(const PluginSlot& slot, std::span<const uint8_t> input, std::span<uint8_t> output,
                              uint32_t& storedLen, const std::string& name, std::string& fault);
    void ReportDecodeFailure(uint8_t scheme, const std::string& name);

    const Catalogue& catalogue_;
    IPrompt& prompt_;
    // A module as this dispatch loaded it, with what it declared then.
    struct ModuleInUse {
        LoadedModule loaded;
        bool threadSafe = false;
        // Held around every call into the module: its lock across the
        // process, unless it declared itself thread-safe.
        [[nodiscard]] std::unique_lock<std::mutex> HoldForCall() const
        {
            return threadSafe ? std::unique_lock<std::mutex>() : loaded.Calls().Hold();
        }
    };
    // A module once loaded stays loaded while this dispatch lives (one whole
    // save, extraction or encode test): loading it for every one of many
    // small files would cost more than the files.
    const ModuleInUse* Module(const std::string& moduleFile);

    PluginHost plugins_;
    std::map<std::string, ModuleInUse> modules_;

    // What each slot of the plug-in table said when this dispatch was made.
    struct SlotThreading {
        std::string moduleFile;
        bool threadSafe = false;
    };
    std::vector<SlotThreading> threading_;
};

}  // namespace tarvex
