#include "base/GbkText.h"

#include <cstdio>

#include "base/GbkConversion.h"

namespace tarvex {
namespace {

bool IsAscii(std::string_view s)
{
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

}  // namespace

std::optional<std::string> Utf8ToGbk(std::string_view utf8)
{
    if (IsAscii(utf8)) return std::string(utf8);
    std::string out;
    size_t consumed = 0;
    if (!ConvertText(TextDirection::Utf8ToGbk, utf8, out, consumed)) return std::nullopt;
    return out;
}

std::string Utf8ToGbkLossy(std::string_view utf8)
{
    if (IsAscii(utf8)) return std::string(utf8);
    std::string result;
    while (!utf8.empty()) {
        std::string part;
        size_t consumed = 0;
        if (ConvertText(TextDirection::Utf8ToGbk, utf8, part, consumed)) return result + part;
        result += part;
        result += '?';
        // Skip the whole UTF-8 sequence that could not be converted.
        size_t skip = 1;
        while (consumed + skip < utf8.size() && (static_cast<unsigned char>(utf8[consumed + skip]) & 0xC0) == 0x80)
            ++skip;
        utf8.remove_prefix(consumed + skip);
    }
    return result;
}

std::optional<std::string> GbkToUtf8(std::string_view gbk)
{
    if (IsAscii(gbk)) return std::string(gbk);
    std::string out;
    size_t consumed = 0;
    if (!ConvertText(TextDirection::GbkToUtf8, gbk, out, consumed)) return std::nullopt;
    return out;
}

void AppendGbkAsUtf8Lossy(std::string& out, std::string_view gbk)
{
    if (IsAscii(gbk)) {
        out += gbk;
        return;
    }
    out += GbkToUtf8Lossy(gbk);
}

std::string GbkToUtf8Lossy(std::string_view gbk)
{
    if (IsAscii(gbk)) return std::string(gbk);
    std::string result;
    while (!gbk.empty()) {
        std::string part;
        size_t consumed = 0;
        if (ConvertText(TextDirection::GbkToUtf8, gbk, part, consumed)) {
            result += part;
            break;
        }
        // Keep what converted, show the offending byte, go on after it.
        result += part;
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(gbk[consumed]));
        result += escaped;
        gbk.remove_prefix(consumed + 1);
    }
    return result;
}

std::vector<std::string> SplitGbkPath(std::string_view gbkPath)
{
    std::vector<std::string> parts;
    std::string current;
    for (size_t i = 0; i < gbkPath.size(); ++i) {
        const auto c = static_cast<unsigned char>(gbkPath[i]);
        if (c >= 0x81 && c <= 0xFE && i + 1 < gbkPath.size()) {
            current += gbkPath[i];
            current += gbkPath[++i];
        } else if (c == '\\' || c == '/') {
            if (!current.empty()) parts.push_back(std::move(current));
            current.clear();
        } else {
            current += gbkPath[i];
        }
    }
    if (!current.empty()) parts.push_back(std::move(current));
    return parts;
}

}  // namespace tarvex
