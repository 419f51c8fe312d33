#pragma once
// The one seam through which the core talks to the user: message boxes,
// questions, the password prompt and progress. The editor shows real dialogs,
// epk prints to the terminal, tests script the answers and record every text.
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/PasswordBlocks.h"

namespace tarvex {

enum class MsgIcon { None, Error, Warning, Question, Information };
enum class MsgButtons { Ok, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Yes, No, Cancel };


enum class PasswordMode {
    Set,    // choosing the password a pack is saved with
    Enter,  // giving the password of a protected pack being opened
};

class IPrompt {
public:
    virtual ~IPrompt() = default;

    // Texts are UTF-8. The caption is always the application's name.
    virtual MsgAnswer Message(std::string_view text, MsgIcon icon, MsgButtons buttons) = 0;

    // Empty when the user cancelled; zero blocks when no password was given.
    virtual std::optional<PasswordBlocks> AskPassword(PasswordMode mode) = 0;

    // Progress of a long operation: a two-line text and a bar of `range` steps.
    virtual void ProgressBegin(uint32_t range) = 0;
    virtual void ProgressText(std::string_view text) = 0;
    virtual void ProgressStep() = 0;
    virtual void ProgressEnd() = 0;
    // Bytes handled so far, so that one huge file does not look stuck.
    virtual void ProgressBytes(uint64_t) {}
    // Whether progress texts are shown at all: a prompt that shows none
    // spares the work of making one for every file.
    virtual bool ShowsProgressText() const { return true; }

    // Shorthand for a message with only an OK button.
    void Tell(std::string_view text, MsgIcon icon) { Message(text, icon, MsgButtons::Ok); }
};

// Answers nothing and shows nothing: for callers that only want results.
class SilentPrompt final : public IPrompt {
public:
    MsgAnswer Message(std::string_view, MsgIcon, MsgButtons buttons) override
    {
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
    }
    std::optional<PasswordBlocks> AskPassword(PasswordMode) override { return std::nullopt; }
    void ProgressBegin(uint32_t) override {}
    void ProgressText(std::string_view) override {}
    void ProgressStep() override {}
    void ProgressEnd() override {}
    bool ShowsProgressText() const override { return false; }
};

}  // namespace tarvex
