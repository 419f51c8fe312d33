#pragma once
// The prompt of a terminal program: messages go to stderr as they stand,
// questions take the answer that changes nothing, the password comes from a
// file or, when epk runs on a terminal, from the keyboard without echo.
#include <optional>
#include <string>

#include "archive/Prompt.h"

namespace tarvex::epk {

class CliPrompt final : public IPrompt {
public:
    // Blocks for the next password question, from --password-file.
    void SetPassword(const PasswordBlocks& blocks) { password_ = blocks; }
    // Whether a message with an error icon was shown.
    bool SawError() const { return sawError_; }

    MsgAnswer Message(std::string_view text, MsgIcon icon, MsgButtons buttons) override;
    std::optional<PasswordBlocks> AskPassword(PasswordMode mode) override;
    void ProgressBegin(uint32_t) override {}
    void ProgressText(std::string_view) override {}
    void ProgressStep() override {}
    void ProgressEnd() override {}

private:
    std::optional<PasswordBlocks> password_;
    bool sawError_ = false;
};

// Reads a password file: its text without one trailing line break. Empty on
// failure (reported).
std::optional<std::string> ReadPasswordFile(const std::string& path);

// Turns a UTF-8 password into its blocks; empty (reported) when GBK cannot
// hold it.
std::optional<PasswordBlocks> PasswordFromText(const std::string& utf8);

}  // namespace tarvex::epk
