#pragma once
// A prompt several threads may tell at once: their messages reach the prompt
// behind it one at a time. It asks for no password and shows no progress.
#include <mutex>

#include "talk/Prompt.h"

namespace tarvex {

class LockedPrompt final : public IPrompt {
public:
    explicit LockedPrompt(IPrompt& behind) : behind_(behind) {}

    MsgAnswer Message(std::string_view text, MsgIcon icon, MsgButtons buttons) override
    {
        const std::lock_guard<std::mutex> hold(mutex_);
        return behind_.Message(text, icon, buttons);
    }
    std::optional<PasswordBlocks> AskPassword(PasswordMode) override { return std::nullopt; }
    void ProgressBegin(uint32_t) override {}
    void ProgressText(std::string_view) override {}
    void ProgressStep() override {}
    void ProgressEnd() override {}
    bool ShowsProgressText() const override { return false; }

private:
    IPrompt& behind_;
    std::mutex mutex_;
};

}  // namespace tarvex
