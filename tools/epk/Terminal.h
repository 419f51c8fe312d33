#pragma once
// The terminal epk runs on, asked for passwords without showing what is
// typed: a terminal device, or a Windows console.
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileIo.h"

namespace tarvex::epk {

// Opens the terminal of this session for asking when standard input is one;
// false otherwise, so that scripts never wait for a keyboard.
bool OpenSessionTerminal(File& terminal);

// Shows the question on an open terminal and reads one line (UTF-8) without
// showing it; nothing, with the reason in error, when it is no terminal.
std::optional<std::string> ReadHiddenLine(File& terminal, std::string_view question, std::string& error);

}  // namespace tarvex::epk
