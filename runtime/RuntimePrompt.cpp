#include "runtime/RuntimePrompt.h"

#include <cstdio>

#include "runtime/ConsoleText.h"
#include "runtime/RuntimeMessages.h"

namespace tarvex {

MsgAnswer RuntimePrompt::Message(std::string_view text, MsgIcon, MsgButtons buttons)
{
    if (show_) {
        while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
        const std::string line = ToConsole(text) + "\n";
        // What the program printed so far comes first on a shared terminal.
        std::fflush(stdout);
        std::fwrite(line.data(), 1, line.size(), stderr);
    }
    // No one can answer: take the answer that changes nothing.
    switch (buttons) {
        case MsgButtons::Ok:
            return MsgAnswer::Ok;
        case MsgButtons::YesNo:
            return MsgAnswer::No;
        case MsgButtons::YesNoCancel:
            return MsgAnswer::Cancel;
    }
    return MsgAnswer::Cancel;
}

std::optional<PasswordBlocks> RuntimePrompt::AskPassword(PasswordMode mode)
{
    if (mode == PasswordMode::Enter) Tell(msg::kNoPasswordGiven, MsgIcon::Error);
    return std::nullopt;
}

}  // namespace tarvex
