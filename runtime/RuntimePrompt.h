#pragma once
// How CRQ_File talks to the player's console: the core's messages go to
// standard error in the console's character set while errors are switched
// on. Nobody is asked anything: a protected pack opened without a password
// is told so (a password given to Open is answered elsewhere, see
// RuntimePack).
#include <optional>
#include <string_view>

#include "talk/Prompt.h"

namespace tarvex {

class RuntimePrompt final : public IPrompt {
public:
    void ShowMessages(bool show) { show_ = show; }

    MsgAnswer Message(std::string_view text, MsgIcon icon, MsgButtons buttons) override;
    std::optional<PasswordBlocks> AskPassword(PasswordMode mode) override;
    void ProgressBegin(uint32_t) override {}
    void ProgressText(std::string_view) override {}
    void ProgressStep() override {}
    void ProgressEnd() override {}

private:
    bool show_ = false;
};

}  // namespace tarvex
