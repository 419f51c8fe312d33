#pragma once
// What a file's bytes say when they are read as text: UTF-8 with or without
// a byte order mark, UTF-16 with one, or GBK; or that they are no text.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tarvex {

enum class TextEncoding { Utf8, Utf8Bom, Utf16Le, Utf16Be, Gbk };

// The encoding's name as it is shown: "UTF-8", "UTF-8 BOM", "UTF-16LE",
// "UTF-16BE" or "GBK".
const char* TextEncodingName(TextEncoding encoding);

struct FileText {
    TextEncoding encoding = TextEncoding::Utf8;
    std::string utf8;
};

// A byte order mark decides UTF-8 or UTF-16. Without one, bytes holding a NUL
// or more than one control character in a hundred (white space, backspace
// and escape aside) are no text; the rest are UTF-8 when they are valid
// UTF-8, else GBK when they are valid GBK. `cut`: the bytes are the first
// part of a longer file, so a character cut in two at their end is dropped.
std::optional<FileText> ReadFileText(std::span<const uint8_t> bytes, bool cut);

}  // namespace tarvex
