#pragma once
// Texts a game hands the library (pack paths, passwords) may be GBK bytes,
// as the pack stores names, or UTF-8, as Linux source files and tools write
// them. UTF-8 text that GBK can hold is converted; anything else is taken as
// GBK bytes. ASCII is the same either way.
#include <optional>
#include <string>
#include <string_view>

#include "archive/Prompt.h"

namespace tarvex {

std::string CallerTextAsGbk(std::string_view text);

// The blocks of a password by the rule above; empty for a null or empty
// password.
std::optional<PasswordBlocks> PasswordBlocksOf(const char* password);

}  // namespace tarvex
