#include "schemes/SizeText.h"

#include "catalogue/Catalogue.h"
#include "talk/Messages.h"

namespace tarvex {

std::string FormatSizeText(uint32_t value)
{
    if (value == kUnknownSize) return msg::kUnknown;
    if (value > 1048576) return Printf("%0.1fM", value / 1048576.0);
    if (value > 1024) return Printf("%0.1fK", value / 1024.0);
    return Printf("%u", value);
}

std::string FormatRatioText(uint32_t fileSize, uint32_t encodedSize)
{
    if (fileSize == kUnknownSize || encodedSize == kUnknownSize) return msg::kUnknown;
    if (fileSize == 0) return "0%";
    const double ratio = static_cast<double>(encodedSize) / static_cast<double>(fileSize) * 100;
    return Printf("%lld%%", static_cast<long long>(ratio));
}

std::string FormatVersionText(uint32_t v)
{
    return Printf("%u.%u.%u.%u", v >> 24, (v >> 16) & 255, (v >> 8) & 255, v & 255);
}

}  // namespace tarvex
