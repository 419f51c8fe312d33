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

bool IsUtf8(std::string_view bytes)
{
    size_t i = 0;
    const size_t n = bytes.size();
    const auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    while (i < n) {
        const unsigned char lead = at(i);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // The length of the sequence and the range its second byte must lie
        // in, which rules out overlong forms, surrogates and values past U+10FFFF.
        size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (n - i < length || at(i + 1) < low || at(i + 1) > high) return false;
        for (size_t k = 2; k < length; ++k)
            if ((at(i + k) & 0xC0) != 0x80) return false;
        i += length;
    }
    return true;
}

std::string Utf16ToUtf8Lossy(std::span<const uint8_t> bytes, bool bigEndian)
{
    const size_t units = bytes.size() / 2;
    const auto unit = [&](size_t k) -> uint32_t {
        const uint8_t a = bytes[2 * k];
        const uint8_t b = bytes[2 * k + 1];
        return bigEndian ? uint32_t{a} << 8 | b : uint32_t{b} << 8 | a;
    };
    std::string out;
    out.reserve(units * 3 / 2);
    for (size_t k = 0; k < units; ++k) {
        uint32_t c = unit(k);
        if (c >= 0xD800 && c <= 0xDBFF && k + 1 < units && unit(k + 1) >= 0xDC00 && unit(k + 1) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(++k) - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
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
