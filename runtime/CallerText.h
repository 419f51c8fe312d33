#pragma once
// Texts a game hands the library (pack paths, passwords) may be GBK bytes,
// as the pack stores names, or UTF-8, as Linux source files and tools write
// them. Some GBK bytes are valid UTF-8 as well (GBK "位" is UTF-8 "λ"), so a
// text that is UTF-8 GBK can hold has two readings: its own bytes, and its
// characters converted to GBK. ASCII is the same either way.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "talk/Prompt.h"

namespace tarvex {

// The text's characters in GBK, when it is UTF-8 that GBK can hold and that
// differs from its own bytes; empty otherwise.
std::optional<std::string> Utf8ReadingAsGbk(std::string_view text);

// The blocks of each reading of a password: the UTF-8 reading first, then
// the bytes as given; none for a null or empty password.
std::vector<PasswordBlocks> PasswordReadings(const char* password);

}  // namespace tarvex
