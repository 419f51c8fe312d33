#include "schemes/SchemeDispatch.h"

#include <cstring>

#include "archive/GbkText.h"
#include "archive/Messages.h"
#include "codecs/LzCodec.h"
#include "codecs/RleCodec.h"
#include "schemes/SchemeId.h"

namespace tarvex {
namespace {

constexpr const char* kPluginNotLoaded = "无法载入扩展编码组件:%s";
constexpr const char* kNoPluginSlot = "没有找到合适的扩展解码模块，无法解压缩：%s";
constexpr const char* kDecoderNotFound = "没有找到扩展解码模块：%s";

}  // namespace

const PluginSlot* SchemeDispatch::SlotOf(uint8_t scheme) const
{
    const auto& plugins = catalogue_.Plugins();
    return PluginSlotOf(scheme) < plugins.size() ? &plugins[PluginSlotOf(scheme)] : nullptr;
}

bool SchemeDispatch::Decodable(uint8_t scheme) const
{
    return scheme <= kSchemeLz || (IsPluginScheme(scheme) && SlotOf(scheme));
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
    default: return 0;
    }
}

bool SchemeDispatch::EncodeBuffer(std::span<const uint8_t> input, std::span<uint8_t> output,
                                  uint32_t& encodedLen, uint8_t scheme)
{
    return Encode(input, output, encodedLen, scheme) == EncodeStatus::Encoded;
}

EncodeStatus SchemeDispatch::Encode(std::span<const uint8_t> input, std::span<uint8_t> output,
                                    uint32_t& storedLen, uint8_t scheme)
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
    if (const PluginSlot* slot = IsPluginScheme(scheme) ? SlotOf(scheme) : nullptr) {
        prompt_.Tell(Printf(kPluginNotLoaded, GbkToUtf8Lossy(slot->moduleFile).c_str()), MsgIcon::Error);
        return EncodeStatus::Failed;
    }
    return EncodeStatus::Declined;
}

bool SchemeDispatch::Decode(std::span<const uint8_t> stored, std::span<uint8_t> output, uint8_t scheme,
                            const std::string& name)
{
    const std::string utf8Name = GbkToUtf8Lossy(name);
    bool ok = false;
    switch (scheme) {
    case kSchemeNone:
        ok = stored.size() == output.size();
        if (ok && !output.empty()) std::memcpy(output.data(), stored.data(), output.size());
        break;
    case kSchemeRle: ok = RleDecodeInto(stored, output); break;
    case kSchemeLz: ok = LzDecode(stored, output); break;
    default:
        if (!IsPluginScheme(scheme)) {
            prompt_.Tell(Printf(msg::kUnknownScheme, utf8Name.c_str()), MsgIcon::Error);
            return false;
        }
        if (const PluginSlot* slot = SlotOf(scheme)) {
            prompt_.Tell(Printf(kDecoderNotFound, GbkToUtf8Lossy(slot->moduleFile).c_str()), MsgIcon::Error);
        } else {
            prompt_.Tell(Printf(kNoPluginSlot, utf8Name.c_str()), MsgIcon::Error);
        }
        return false;
    }
    if (!ok) {
        const std::string schemeName = SchemeName(scheme, catalogue_.Plugins());
        prompt_.Tell(Printf(msg::kDecodeFailedBuiltin, schemeName.c_str(), utf8Name.c_str()), MsgIcon::Error);
    }
    return ok;
}

}  // namespace tarvex
