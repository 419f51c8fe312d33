#include "schemes/SchemeDispatch.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "base/ByteBuffer.h"
#include "base/GbkText.h"
#include "codecs/LzCodec.h"
#include "codecs/LzStream.h"
#include "codecs/RleCodec.h"
#include "pack/StoredData.h"
#include "schemes/SchemeId.h"
#include "talk/Messages.h"
#include "talk/ThrownError.h"
#include "threads/ThreadPool.h"

namespace tarvex {
namespace {

// Whether a built-in scheme could decode storedSize bytes into fileSize: a
// damaged record must not make a reader allocate gigabytes for a few stored
// bytes. Plug-in schemes are not judged here.
bool PlausibleSizes(uint32_t fileSize, uint64_t storedSize, uint8_t scheme)
{
    switch (scheme) {
    case kSchemeNone: return fileSize == storedSize;
    case kSchemeRle: return storedSize >= 4 && fileSize <= RleMostDecoded(storedSize);
    case kSchemeLz: return fileSize <= LzMostDecoded(storedSize);
    default: return true;
    }
}

// Long files of the LZ scheme, compressed window by window on all cores.
class LzFileStream : public IStreamEncoder {
public:
    explicit LzFileStream(IStreamOutput& out) : encoder_(out, ThreadPool::Shared().Threads()) {}
    size_t WindowBytes() const override { return encoder_.WindowBytes(); }
    bool Add(std::span<const uint8_t> window) override { return encoder_.Add(window); }
    uint64_t Length() const override { return encoder_.Length(); }
    bool Finish() override { return encoder_.Finish(); }

private:
    LzStreamEncoder encoder_;
};

}  // namespace

std::unique_ptr<IStreamEncoder> SchemeDispatch::StreamEncoder(uint8_t scheme, IStreamOutput& out)
{
    if (!Streams(scheme)) return nullptr;
    return std::make_unique<LzFileStream>(out);
}

SchemeDispatch::SchemeDispatch(const Catalogue& catalogue, IPrompt& prompt, PluginHost plugins)
    : catalogue_(catalogue), prompt_(prompt), plugins_(std::move(plugins))
{
    for (const PluginSlot& slot : catalogue_.Plugins()) {
        const ModuleInUse* module = Module(slot.moduleFile);
        threading_.push_back({slot.moduleFile, module && module->threadSafe});
    }
}

SchemeDispatch::SchemeDispatch(const SchemeDispatch& prototype, IPrompt& prompt)
    : catalogue_(prototype.catalogue_), prompt_(prompt), plugins_(prototype.plugins_),
      threading_(prototype.threading_)
{
}

bool SchemeDispatch::ThreadSafe(uint8_t scheme) const
{
    if (!IsPluginScheme(scheme)) return true;
    const PluginSlot* slot = SlotOf(scheme);
    const size_t k = PluginSlotOf(scheme);
    return slot && k < threading_.size() && threading_[k].threadSafe && threading_[k].moduleFile == slot->moduleFile;
}

const PluginSlot* SchemeDispatch::SlotOf(uint8_t scheme) const
{
    const auto& plugins = catalogue_.Plugins();
    return PluginSlotOf(scheme) < plugins.size() ? &plugins[PluginSlotOf(scheme)] : nullptr;
}

const SchemeDispatch::ModuleInUse* SchemeDispatch::Module(const std::string& moduleFile)
{
    const auto it = modules_.find(moduleFile);
    if (it != modules_.end()) return &it->second;
    std::string error;
    std::optional<LoadedModule> module = plugins_.Load(moduleFile, error);
    if (!module) return nullptr;
    const bool threadSafe = DeclaresThreadSafe(*module);
    return &modules_.emplace(moduleFile, ModuleInUse{std::move(*module), threadSafe}).first->second;
}

uint32_t SchemeDispatch::GetMemNeeded(uint32_t n, uint8_t scheme)
{
    switch (scheme) {
    case kSchemeNone:
    case kSchemeRle: return n;
    case kSchemeLz: {
        const uint64_t need = std::max<uint64_t>(uint64_t{n} * 3, 5);
        return need > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(need);
    }
    default: break;
    }
    const PluginSlot* slot = IsPluginScheme(scheme) ? SlotOf(scheme) : nullptr;
    const ModuleInUse* module = slot ? Module(slot->moduleFile) : nullptr;
    const auto memNeeded = module ? module->loaded.Find<edl_getMemNeeded_fn>("getMemNeeded") : nullptr;
    if (!memNeeded) return 0;
    const auto held = module->HoldForCall();
    return memNeeded(n);
}

bool SchemeDispatch::EncodeBuffer(std::span<const uint8_t> input, std::span<uint8_t> output, uint32_t& encodedLen,
                                  uint8_t scheme, const std::string& name)
{
    std::string fault;
    const EncodeStatus status = Encode(input, output, encodedLen, scheme, name, fault);
    if (status == EncodeStatus::Broke) prompt_.Tell(fault, MsgIcon::Error);
    return status == EncodeStatus::Encoded;
}

EncodeStatus SchemeDispatch::PluginEncode(const PluginSlot& slot, std::span<const uint8_t> input,
                                          std::span<uint8_t> output, uint32_t& storedLen, const std::string& name,
                                          std::string& fault)
{
    const std::string moduleName = GbkToUtf8Lossy(slot.moduleFile);
    const std::string fileName = GbkToUtf8Lossy(name);
    const ModuleInUse* module = Module(slot.moduleFile);
    const auto memNeeded = module ? module->loaded.Find<edl_getMemNeeded_fn>("getMemNeeded") : nullptr;
    const auto encode = module ? module->loaded.Find<edl_Encode_fn>("Encode") : nullptr;
    if (!memNeeded || !encode) {
        prompt_.Tell(Printf(msg::kPluginNotLoaded, moduleName.c_str()), MsgIcon::Error);
        return EncodeStatus::Failed;
    }
    const auto held = module->HoldForCall();

    // The module writes up to its own getMemNeeded answer, whatever the
    // caller allocated: a caller's buffer that is too small (the module gave
    // another answer when it was asked before) is not handed to it.
    const uint32_t n = static_cast<uint32_t>(input.size());
    const uint32_t need = memNeeded(n);
    if (need == 0) {
        fault = Printf(msg::kPluginEncodeFailed, moduleName.c_str(), fileName.c_str());
        return EncodeStatus::Broke;
    }
    std::span<uint8_t> target = output.first(std::min<size_t>(output.size(), need));
    ByteBuffer spare;
    if (need > output.size()) {
        std::optional<ByteBuffer> bigger = ByteBuffer::Allocate(need);
        if (!bigger) {
            prompt_.Tell(msg::kOutOfMemory, MsgIcon::Error);
            return EncodeStatus::Failed;
        }
        spare = std::move(*bigger);
        target = spare.span();
    }
    const ModuleEncoding encoding = CallEncode(encode, input, target);
    const uint32_t length = encoding.length;
    switch (encoding.answer) {
        case EncodeAnswer::Failed:
            fault = Printf(msg::kPluginEncodeFailed, moduleName.c_str(), fileName.c_str());
            return EncodeStatus::Refused;
        case EncodeAnswer::NoLength:
            fault = Printf(msg::kPluginGaveNoLength, moduleName.c_str(), fileName.c_str());
            return EncodeStatus::Broke;
        case EncodeAnswer::Empty:
            fault = Printf(msg::kPluginGaveEmpty, moduleName.c_str(), fileName.c_str());
            return EncodeStatus::Broke;
        case EncodeAnswer::TooLong:
        case EncodeAnswer::Encoded:
            break;
    }
    if (encoding.answer == EncodeAnswer::TooLong || length > output.size()) {
        fault = Printf(msg::kPluginOverran, moduleName.c_str(), fileName.c_str(), length,
                       static_cast<uint32_t>(std::min<size_t>(need, output.size())));
        return EncodeStatus::Broke;
    }
    if (target.data() != output.data()) std::memcpy(output.data(), target.data(), length);
    storedLen = length;
    return EncodeStatus::Encoded;
}

EncodeStatus SchemeDispatch::Encode(std::span<const uint8_t> input, std::span<uint8_t> output, uint32_t& storedLen,
                                    uint8_t scheme, const std::string& name, std::string& fault)
{
    const size_t n = input.size();
    if (n == 0) {
        storedLen = 0;
        return EncodeStatus::Declined;
    }
    switch (scheme) {
    case kSchemeNone:
        if (output.size() < n) return EncodeStatus::Declined;
        std::memcpy(output.data(), input.data(), n);
        storedLen = static_cast<uint32_t>(n);
        return EncodeStatus::Encoded;
    case kSchemeRle:
        if (RleEncode(input, output, storedLen)) return EncodeStatus::Encoded;
        if (output.size() >= n) std::memcpy(output.data(), input.data(), n);
        return EncodeStatus::Declined;
    case kSchemeLz: {
        uint32_t length = 0;
        try {
            length = LzEncode(input, output);
        } catch (...) {
            // A long input's threads had no memory for their compressors.
            prompt_.Tell(ThrownErrorText(std::current_exception()), MsgIcon::Error);
            return EncodeStatus::Failed;
        }
        if (length == 0) return EncodeStatus::Declined;
        storedLen = length;
        return length < n ? EncodeStatus::Encoded : EncodeStatus::NotSmaller;
    }
    default: break;
    }
    if (const PluginSlot* slot = IsPluginScheme(scheme) ? SlotOf(scheme) : nullptr)
        return PluginEncode(*slot, input, output, storedLen, name, fault);
    return EncodeStatus::Declined;
}

bool SchemeDispatch::CanDecode(size_t storedSize, uint32_t fileSize, uint8_t scheme, const std::string& name)
{
    const std::string utf8Name = GbkToUtf8Lossy(name);
    if (IsPluginScheme(scheme)) {
        const PluginSlot* slot = SlotOf(scheme);
        if (!slot) {
            prompt_.Tell(Printf(msg::kNoPluginSlot, utf8Name.c_str()), MsgIcon::Error);
            return false;
        }
        const ModuleInUse* module = Module(slot->moduleFile);
        if (!module || !module->loaded.Find<edl_Decode_fn>("Decode")) {
            prompt_.Tell(Printf(msg::kDecoderNotFound, GbkToUtf8Lossy(slot->moduleFile).c_str()), MsgIcon::Error);
            return false;
        }
        return true;
    }
    if (scheme > kSchemeLz) {
        prompt_.Tell(Printf(msg::kUnknownScheme, utf8Name.c_str()), MsgIcon::Error);
        return false;
    }
    // A damaged record must not make a few stored bytes cost gigabytes.
    if (PlausibleSizes(fileSize, storedSize, scheme)) return true;
    ReportDecodeFailure(scheme, name);
    return false;
}

bool SchemeDispatch::StreamGives(std::span<const uint8_t> stored, uint32_t fileSize, uint8_t scheme,
                                 const std::string& name)
{
    // A small buffer costs nothing to make, and the decoders refuse a stream
    // that does not fill it exactly: only a large one needs the walk first.
    if (fileSize <= kAllocatedUnwalked) return true;
    std::optional<uint64_t> length;
    if (scheme == kSchemeRle) {
        if (const std::optional<uint32_t> n = RleStreamLength(stored)) length = *n;
    } else if (scheme == kSchemeLz) {
        length = LzStreamLength(stored);
    } else {
        return true;
    }
    if (length == fileSize) return true;
    ReportDecodeFailure(scheme, name);
    return false;
}

void SchemeDispatch::ReportDecodeFailure(uint8_t scheme, const std::string& name)
{
    const PluginSlot* slot = IsPluginScheme(scheme) ? SlotOf(scheme) : nullptr;
    const std::string decoder = slot ? GbkToUtf8Lossy(slot->moduleFile) : SchemeName(scheme, catalogue_.Plugins());
    prompt_.Tell(Printf(msg::kDecodeFailedBuiltin, decoder.c_str(), GbkToUtf8Lossy(name).c_str()), MsgIcon::Error);
}

bool SchemeDispatch::DecodeInto(std::span<const uint8_t> stored, std::span<uint8_t> out, uint8_t scheme,
                                const std::string& name)
{
    bool ok = false;
    switch (scheme) {
        case kSchemeNone:
            ok = stored.size() == out.size();
            if (ok && !out.empty()) std::memcpy(out.data(), stored.data(), out.size());
            break;
        case kSchemeRle:
            ok = RleDecodeInto(stored, out);
            break;
        case kSchemeLz:
            ok = LzDecode(stored, out);
            break;
        default: {
            const PluginSlot* slot = IsPluginScheme(scheme) ? SlotOf(scheme) : nullptr;
            const ModuleInUse* module = slot ? Module(slot->moduleFile) : nullptr;
            const auto decode = module ? module->loaded.Find<edl_Decode_fn>("Decode") : nullptr;
            if (!decode) {
                CanDecode(stored.size(), static_cast<uint32_t>(out.size()), scheme, name);  // tells why
                return false;
            }
            // The module gets exactly the stored bytes and a buffer of the file
            // size; told that size, it can refuse a stream that would overrun it.
            const auto bounded = module->loaded.Find<edl_DecodeBounded_fn>("DecodeBounded");
            const uint32_t storedLen = static_cast<uint32_t>(stored.size());
            const uint32_t fileSize = static_cast<uint32_t>(out.size());
            const auto held = module->HoldForCall();
            ok = bounded ? bounded(stored.data(), storedLen, out.data(), fileSize)
                         : decode(stored.data(), storedLen, out.data());
        }
    }
    if (!ok) ReportDecodeFailure(scheme, name);
    return ok;
}

bool SchemeDispatch::Decode(std::span<const uint8_t> stored, uint32_t fileSize, ByteBuffer& out, uint8_t scheme,
                            const std::string& name)
{
    if (!CanDecode(stored.size(), fileSize, scheme, name)) return false;
    std::optional<ByteBuffer> output = ByteBuffer::Allocate(fileSize);
    if (!output) {
        prompt_.Tell(msg::kOutOfMemory, MsgIcon::Error);
        return false;
    }
    if (!DecodeInto(stored, output->span(), scheme, name)) return false;
    out = std::move(*output);
    return true;
}

}  // namespace tarvex
