#include "schemes/SchemeId.h"

#include "base/GbkText.h"
#include "talk/Messages.h"

namespace tarvex {

std::string SchemeName(uint8_t scheme, const std::vector<PluginSlot>& plugins)
{
    static const char* const kBuiltinNames[] = {msg::kSchemeNameNone, "RLE", "ZIV"};
    if (scheme <= kSchemeLz) return kBuiltinNames[scheme];
    if (IsPluginScheme(scheme) && PluginSlotOf(scheme) < plugins.size())
        return GbkToUtf8Lossy(plugins[PluginSlotOf(scheme)].providerName);
    return msg::kUnknown;
}

}  // namespace tarvex
