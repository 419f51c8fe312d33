#include "base/GbkConversion.h"

#include <windows.h>

#include <algorithm>
#include <optional>

#include "base/win32/WideText.h"

namespace tarvex {
namespace {

constexpr UINT kGbkCodePage = 936;

std::optional<std::string> GbkToUtf8Whole(std::string_view gbk)
{
    if (gbk.empty()) return std::string();
    const int size = static_cast<int>(gbk.size());
    const int length = ::MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, gbk.data(), size, nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, gbk.data(), size, wide.data(), length);
    return Utf8FromWide(wide);
}

std::optional<std::string> Utf8ToGbkWhole(std::string_view utf8)
{
    const std::optional<std::wstring> wide = WideFromUtf8(utf8);
    if (!wide) return std::nullopt;
    if (wide->empty()) return std::string();
    const int size = static_cast<int>(wide->size());
    // No best fit: a character GBK lacks is a failure, never a look-alike.
    BOOL lossy = FALSE;
    const int length =
        ::WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide->data(), size, nullptr, 0, nullptr, &lossy);
    if (length <= 0 || lossy) return std::nullopt;
    std::string gbk(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide->data(), size, gbk.data(), length, nullptr, nullptr);
    return gbk;
}

// The length of the character text starts with, in the source's encoding.
size_t CharacterLength(TextDirection direction, std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    size_t length = 1;
    if (direction == TextDirection::GbkToUtf8) {
        length = lead >= 0x81 && lead <= 0xFE ? 2 : 1;
    } else if (lead >= 0xC0) {
        length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    }
    return std::min(length, text.size());
}

std::optional<std::string> ConvertWhole(TextDirection direction, std::string_view in)
{
    return direction == TextDirection::GbkToUtf8 ? GbkToUtf8Whole(in) : Utf8ToGbkWhole(in);
}

}  // namespace

bool ConvertText(TextDirection direction, std::string_view in, std::string& out, size_t& consumed)
{
    if (std::optional<std::string> whole = ConvertWhole(direction, in)) {
        out = std::move(*whole);
        consumed = in.size();
        return true;
    }
    // Only on failure: the characters one by one, to find where it stops.
    size_t at = 0;
    while (at < in.size()) {
        const size_t length = CharacterLength(direction, in.substr(at));
        if (!ConvertWhole(direction, in.substr(at, length))) break;
        at += length;
    }
    out = ConvertWhole(direction, in.substr(0, at)).value_or(std::string());
    consumed = at;
    return false;
}

}  // namespace tarvex
