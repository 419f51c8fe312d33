#pragma once
// How CRQ_File talks to the player's console: the core's messages go to
// standard error in the console's character set while errors are switched
// on, and the password question of a protected pack is answered with the
// password given to Open. Nobody is asked anything.
#include <optional>
#include <string_view>

#include "archive/Prompt.h"

namespace tarvex {

class RuntimePrompt final : public IPrompt {
public:
    void ShowMessages(bool show) { show_ = show; }
    // Blocks for the next password question; empty: no password was given.
    void SetPassword(std::optional<PasswordBlocks> blocks) { password_ = blocks; }

    MsgAnswer Message(std::string_view text, MsgIcon icon, MsgButtons buttons) override;
    std::optional<PasswordBlocks> AskPassword(PasswordMode mode) override;
    void ProgressBegin(uint32_t) override {}
    void ProgressText(std::string_view) override {}
    void ProgressStep() override {}
    void ProgressEnd() override {}

private:
    bool show_ = false;
    std::optional<PasswordBlocks> password_;
};

}  // namespace tarvex
