#include "tools/epk/SchemeArgument.h"

#include "schemes/SchemeId.h"
#include "tools/epk/Console.h"

namespace tarvex::epk {

std::optional<uint8_t> ParseSchemeArgument(const std::string& name, Catalogue&)
{
    if (name == "none") return kSchemeNone;
    if (name == "rle") return kSchemeRle;
    if (name == "lz") return kSchemeLz;
    PrintErr("未知的编码方案：" + name + "（可用：none、rle、lz）\n");
    return std::nullopt;
}

}  // namespace tarvex::epk
