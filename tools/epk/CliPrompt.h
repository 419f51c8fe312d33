#pragma once
// The prompt of a terminal program: messages go to stderr as they stand,
// questions take the answer that changes nothing, the password comes from a
// file or, when epk runs on a terminal, from the keyboard without echo.
#include <optional>
#include <string>

#include "talk/Prompt.h"

namespace tarvex::epk {

class CliPrompt final : public IPrompt {
public:
    // Blocks for the next password question, from --password-file.
    void SetPassword(const PasswordBlocks& blocks) { password_ = blocks; }
    const std::optional<PasswordBlocks>& Password() const { return password_; }
    // Whether a message with an error icon was shown.
    bool SawError() const { return sawError_; }

    MsgAnswer Message(std::string_view text, MsgIcon icon, MsgButtons buttons) override;
    std::optional<PasswordBlocks> AskPassword(PasswordMode mode) override;
    // On a terminal: one line of files and bytes done and the rate, redrawn
    // a few times a second; nothing when standard error is not a terminal.
    void ProgressBegin(uint32_t range) override;
    void ProgressText(std::string_view) override {}
    bool ShowsProgressText() const override { return false; }
    void ProgressStep() override;
    void ProgressEnd() override;
    void ProgressBytes(uint64_t bytes) override;

private:
    void DrawProgress(bool force);
    void ClearProgress();

    bool showProgress_ = false;
    bool lineShown_ = false;
    uint32_t range_ = 0;
    uint32_t steps_ = 0;
    uint64_t bytes_ = 0;
    double started_ = 0;
    double drawn_ = 0;

    std::optional<PasswordBlocks> password_;
    bool sawError_ = false;
};

// Reads a password file (see InputFile): its text without one trailing line
// break, a pipe's read to its end; /dev/null gives an empty text; on a
// terminal the password is asked for without being shown, a new one (mode
// Set) twice. Nothing on failure (reported).
std::optional<std::string> ReadPasswordFile(const std::string& path, PasswordMode mode);

// Turns a UTF-8 password into its blocks; empty (reported) when GBK cannot
// hold it.
std::optional<PasswordBlocks> PasswordFromText(const std::string& utf8);

}  // namespace tarvex::epk
