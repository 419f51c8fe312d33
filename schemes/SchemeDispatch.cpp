#include "schemes/SchemeDispatch.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "archive/ByteBuffer.h"
#include "archive/GbkText.h"
#include "archive/Messages.h"
#include "archive/StoredData.h"
#include "codecs/LzCodec.h"
#include "codecs/RleCodec.h"
#include "schemes/SchemeId.h"

namespace tarvex {
namespace {

constexpr const char* kPluginNotLoaded = "无法载入扩展编码组件:%s";
constexpr const char* kPluginEncodeFailed = "扩展编码组件%s无法编码文件%s。";
constexpr const char* kPluginOverran =
    "扩展编码组件%s编码文件%s时给出的长度（%u字节）超出了输出缓冲区（%u字节），编码结果不能使用。";
constexpr const char* kNoPluginSlot = "没有找到合适的扩展解码模块，无法解压缩：%s";
constexpr const char* kDecoderNotFound = "没有找到扩展解码模块：%s";

}  // namespace

SchemeDispatch::SchemeDispatch(const Catalogue& catalogue, IPrompt& prompt, PluginHost plugins)
    : catalogue_(catalogue), prompt_(prompt), plugins_(std::move(plugins))
{
    for (const PluginSlot& slot : catalogue_.Plugins()) {
        const LoadedModule* module = Module(slot.moduleFile);
        threading_.push_back({slot.moduleFile, module && DeclaresThreadSafe(*module)});
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

const LoadedModule* SchemeDispatch::Module(const std::string& moduleFile)
{
    const auto it = modules_.find(moduleFile);
    if (it != modules_.end()) return &it->second;
    std::string error;
    std::optional<LoadedModule> module = plugins_.Load(moduleFile, error);
    if (!module) return nullptr;
    return &modules_.emplace(moduleFile, std::move(*module)).first->second;
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
    const LoadedModule* module = slot ? Module(slot->moduleFile) : nullptr;
    const auto memNeeded = module ? module->Find<edl_getMemNeeded_fn>("getMemNeeded") : nullptr;
    return memNeeded ? memNeeded(n) : 0;
}

bool SchemeDispatch::EncodeBuffer(std::span<const uint8_t> input, std::span<uint8_t> output, uint32_t& encodedLen,
                                  uint8_t scheme, const std::string& name)
{
    return Encode(input, output, encodedLen, scheme, name) == EncodeStatus::Encoded;
}

EncodeStatus SchemeDispatch::PluginEncode(const PluginSlot& slot, std::span<const uint8_t> input,
                                          std::span<uint8_t> output, uint32_t& storedLen, const std::string& name)
{
    const std::string moduleName = GbkToUtf8Lossy(slot.moduleFile);
    const std::string fileName = GbkToUtf8Lossy(name);
    const LoadedModule* module = Module(slot.moduleFile);
    const auto memNeeded = module ? module->Find<edl_getMemNeeded_fn>("getMemNeeded") : nullptr;
    const auto encode = module ? module->Find<edl_Encode_fn>("Encode") : nullptr;
    if (!memNeeded || !encode) {
        prompt_.Tell(Printf(kPluginNotLoaded, moduleName.c_str()), MsgIcon::Error);
        return EncodeStatus::Failed;
    }

    // The module writes up to its own getMemNeeded answer, whatever the
    // caller allocated: a caller's buffer that is too small (the module gave
    // another answer when it was asked before) is not handed to it.
    const uint32_t n = static_cast<uint32_t>(input.size());
    const uint32_t need = memNeeded(n);
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
    uint32_t length = 0;
    if (need == 0 || !encode(input.data(), n, target.data(), &length)) {
        prompt_.Tell(Printf(kPluginEncodeFailed, moduleName.c_str(), fileName.c_str()), MsgIcon::Error);
        return EncodeStatus::Failed;
    }
    if (length > need || length > output.size()) {
        prompt_.Tell(Printf(kPluginOverran, moduleName.c_str(), fileName.c_str(), length,
                            static_cast<uint32_t>(std::min<size_t>(need, output.size()))),
                     MsgIcon::Error);
        return EncodeStatus::Failed;
    }
    if (target.data() != output.data()) std::memcpy(output.data(), target.data(), length);
    storedLen = length;
    return EncodeStatus::Encoded;
}

EncodeStatus SchemeDispatch::Encode(std::span<const uint8_t> input, std::span<uint8_t> output, uint32_t& storedLen,
                                    uint8_t scheme, const std::string& name)
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
        const uint32_t length = LzEncode(input, output);
        if (length == 0) return EncodeStatus::Declined;
        storedLen = length;
        return length < n ? EncodeStatus::Encoded : EncodeStatus::NotSmaller;
    }
    default: break;
    }
    if (const PluginSlot* slot = IsPluginScheme(scheme) ? SlotOf(scheme) : nullptr)
        return PluginEncode(*slot, input, output, storedLen, name);
    return EncodeStatus::Declined;
}

std::optional<ByteBuffer> SchemeDispatch::OutputBuffer(uint32_t fileSize)
{
    std::optional<ByteBuffer> buffer = ByteBuffer::Allocate(fileSize);
    if (!buffer) prompt_.Tell(msg::kOutOfMemory, MsgIcon::Error);
    return buffer;
}

bool SchemeDispatch::PluginDecode(std::span<const uint8_t> stored, uint32_t fileSize, ByteBuffer& out, uint8_t scheme,
                                  const std::string& name)
{
    const PluginSlot* slot = SlotOf(scheme);
    if (!slot) {
        prompt_.Tell(Printf(kNoPluginSlot, GbkToUtf8Lossy(name).c_str()), MsgIcon::Error);
        return false;
    }
    const std::string moduleName = GbkToUtf8Lossy(slot->moduleFile);
    const LoadedModule* module = Module(slot->moduleFile);
    const auto decode = module ? module->Find<edl_Decode_fn>("Decode") : nullptr;
    if (!decode) {
        prompt_.Tell(Printf(kDecoderNotFound, moduleName.c_str()), MsgIcon::Error);
        return false;
    }
    // The module gets exactly the stored bytes and a buffer of the file
    // size; told that size, it can refuse a stream that would overrun it.
    std::optional<ByteBuffer> output = OutputBuffer(fileSize);
    if (!output) return false;
    const auto bounded = module->Find<edl_DecodeBounded_fn>("DecodeBounded");
    const uint32_t storedLen = static_cast<uint32_t>(stored.size());
    const bool ok = bounded ? bounded(stored.data(), storedLen, output->data(), fileSize)
                            : decode(stored.data(), storedLen, output->data());
    if (!ok) {
        prompt_.Tell(Printf(msg::kDecodeFailedBuiltin, moduleName.c_str(), GbkToUtf8Lossy(name).c_str()),
                     MsgIcon::Error);
        return false;
    }
    out = std::move(*output);
    return true;
}

bool SchemeDispatch::Decode(std::span<const uint8_t> stored, uint32_t fileSize, ByteBuffer& out, uint8_t scheme,
                            const std::string& name)
{
    if (IsPluginScheme(scheme)) return PluginDecode(stored, fileSize, out, scheme, name);
    const std::string utf8Name = GbkToUtf8Lossy(name);
    if (scheme > kSchemeLz) {
        prompt_.Tell(Printf(msg::kUnknownScheme, utf8Name.c_str()), MsgIcon::Error);
        return false;
    }
    // A damaged record must not make a few stored bytes cost gigabytes.
    const StoredCopy sizes{0, fileSize, static_cast<uint32_t>(stored.size()), scheme};
    bool ok = PlausibleSizes(sizes);
    std::optional<ByteBuffer> output = ok ? OutputBuffer(fileSize) : std::nullopt;
    if (ok && !output) return false;
    switch (scheme) {
    case kSchemeNone:
        if (ok && fileSize > 0) std::memcpy(output->data(), stored.data(), fileSize);
        break;
    case kSchemeRle: ok = ok && RleDecodeInto(stored, output->span()); break;
    case kSchemeLz: ok = ok && LzDecode(stored, output->span()); break;
    }
    if (!ok) {
        const std::string schemeName = SchemeName(scheme, catalogue_.Plugins());
        prompt_.Tell(Printf(msg::kDecodeFailedBuiltin, schemeName.c_str(), utf8Name.c_str()), MsgIcon::Error);
        return false;
    }
    out = std::move(*output);
    return true;
}

}  // namespace tarvex
