#include "base/FileText.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

#include "base/GbkText.h"

namespace tarvex {
namespace {

bool StartsWith(std::span<const uint8_t> bytes, std::initializer_list<uint8_t> mark)
{
    return bytes.size() >= mark.size() && std::equal(mark.begin(), mark.end(), bytes.begin());
}

bool LooksBinary(std::span<const uint8_t> bytes)
{
    size_t controls = 0;
    for (const uint8_t b : bytes) {
        if (b == 0) return true;
        if (b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != '\v' && b != '\b' && b != 0x1B)
            ++controls;
    }
    return controls * 100 > bytes.size();
}

std::string_view View(std::span<const uint8_t> bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The bytes as UTF-8; of a cut file, without a sequence its end cuts short.
std::optional<std::string> AsUtf8(std::span<const uint8_t> bytes, bool cut)
{
    size_t length = bytes.size();
    for (size_t back = 1; cut && back <= std::min<size_t>(3, bytes.size()); ++back) {
        const uint8_t c = bytes[bytes.size() - back];
        if ((c & 0xC0) == 0x80) continue;
        const size_t needs = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (needs > back) length -= back;
        break;
    }
    const std::string_view text = View(bytes.first(length));
    if (!IsUtf8(text)) return std::nullopt;
    return std::string(text);
}

std::optional<std::string> AsGbk(std::span<const uint8_t> bytes, bool cut)
{
    if (std::optional<std::string> text = GbkToUtf8(View(bytes))) return text;
    if (cut && !bytes.empty()) return GbkToUtf8(View(bytes.first(bytes.size() - 1)));
    return std::nullopt;
}

}  // namespace

const char* TextEncodingName(TextEncoding encoding)
{
    switch (encoding) {
        case TextEncoding::Utf8:
            return "UTF-8";
        case TextEncoding::Utf8Bom:
            return "UTF-8 BOM";
        case TextEncoding::Utf16Le:
            return "UTF-16LE";
        case TextEncoding::Utf16Be:
            return "UTF-16BE";
        case TextEncoding::Gbk:
            return "GBK";
    }
    return "";
}

std::optional<FileText> ReadFileText(std::span<const uint8_t> bytes, bool cut)
{
    if (StartsWith(bytes, {0xEF, 0xBB, 0xBF})) {
        if (std::optional<std::string> text = AsUtf8(bytes.subspan(3), cut))
            return FileText{TextEncoding::Utf8Bom, std::move(*text)};
        return std::nullopt;
    }
    if (StartsWith(bytes, {0xFF, 0xFE}))
        return FileText{TextEncoding::Utf16Le, Utf16ToUtf8Lossy(bytes.subspan(2), false)};
    if (StartsWith(bytes, {0xFE, 0xFF}))
        return FileText{TextEncoding::Utf16Be, Utf16ToUtf8Lossy(bytes.subspan(2), true)};
    if (LooksBinary(bytes)) return std::nullopt;
    if (std::optional<std::string> text = AsUtf8(bytes, cut)) return FileText{TextEncoding::Utf8, std::move(*text)};
    if (std::optional<std::string> text = AsGbk(bytes, cut)) return FileText{TextEncoding::Gbk, std::move(*text)};
    return std::nullopt;
}

}  // namespace tarvex
