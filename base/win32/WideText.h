#pragma once
// UTF-8, the program's own text, to and from UTF-16, the text of Windows'
// own functions.
#include <optional>
#include <string>
#include <string_view>

namespace tarvex {

// Empty when the bytes are not valid UTF-8.
std::optional<std::wstring> WideFromUtf8(std::string_view utf8);
// Unpaired surrogates (names Windows allows but no UTF-8 holds) become U+FFFD.
std::string Utf8FromWide(std::wstring_view wide);

}  // namespace tarvex
