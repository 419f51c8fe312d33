#include "runtime/ConsoleText.h"

#include <algorithm>
#include <cctype>

#include "base/GbkText.h"
#include "platform/Console.h"

namespace tarvex {

bool IsGbkCodeset(std::string_view codeset)
{
    std::string name;
    for (char c : codeset)
        if (c != '-' && c != '_') name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name == "GBK" || name == "CP936" || name == "GB2312" || name == "EUCCN" || name == "GB18030";
}

std::string ToConsole(std::string_view utf8)
{
    return ToConsole(utf8, ConsoleCodeset());
}

std::string ToConsole(std::string_view utf8, std::string_view codeset)
{
    return IsGbkCodeset(codeset) ? Utf8ToGbkLossy(utf8) : std::string(utf8);
}

size_t WholeCharacterPrefix(std::string_view text, size_t maxBytes, bool gbk)
{
    const size_t limit = std::min(text.size(), maxBytes);
    if (limit == text.size()) return limit;
    if (gbk) {
        // A lead byte takes the next byte with it, whatever that byte is.
        size_t end = 0;
        while (end < limit) {
            const auto c = static_cast<unsigned char>(text[end]);
            const size_t width = c >= 0x81 && c <= 0xFE ? 2 : 1;
            if (end + width > limit) break;
            end += width;
        }
        return end;
    }
    // Back off to the start of the UTF-8 sequence that the cut would split.
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return end;
}

}  // namespace tarvex
