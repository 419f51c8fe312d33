#pragma once
// The one place where text changes encoding. Names inside the catalogue and
// the pack are GBK (code page 936) bytes; the UI, disk names and the console
// speak UTF-8. Files looked into may also be UTF-16.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// Empty when the text holds a character GBK cannot represent (or invalid UTF-8).
std::optional<std::string> Utf8ToGbk(std::string_view utf8);

// For names that are only shown (a pack's title): characters GBK cannot
// represent become '?'.
std::string Utf8ToGbkLossy(std::string_view utf8);

// Empty when the bytes are not valid GBK.
std::optional<std::string> GbkToUtf8(std::string_view gbk);

// For display only: bytes that are not valid GBK are shown as "\xNN".
std::string GbkToUtf8Lossy(std::string_view gbk);
// The same, appended to `out` (for long listings: no string per name).
void AppendGbkAsUtf8Lossy(std::string& out, std::string_view gbk);

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or
// code points past U+10FFFF).
bool IsUtf8(std::string_view bytes);

// UTF-16 text (without its byte order mark) as UTF-8; a surrogate without
// its partner becomes U+FFFD, an odd last byte is dropped.
std::string Utf16ToUtf8Lossy(std::span<const uint8_t> bytes, bool bigEndian);

// Splits a GBK path at '\' and '/' without breaking double-byte characters
// (a GBK trail byte may equal the code of '\'). Empty components are dropped.
std::vector<std::string> SplitGbkPath(std::string_view gbkPath);

}  // namespace tarvex
