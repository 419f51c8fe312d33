#pragma once
// The system's converter between UTF-8 and GBK, under the rules GbkText.h
// states: one per system (iconv, or Windows' code page 936).
#include <string>
#include <string_view>

namespace tarvex {

enum class TextDirection { Utf8ToGbk, GbkToUtf8 };

// Converts all of `in` into `out`. At a character that is not valid in the
// source or has no counterpart in the target it returns false: `out` then
// holds the conversion of the bytes before it and `consumed` their count.
bool ConvertText(TextDirection direction, std::string_view in, std::string& out, size_t& consumed);

}  // namespace tarvex
