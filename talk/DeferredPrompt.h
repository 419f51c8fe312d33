#pragma once
// A prompt for work done away from the user's thread: it keeps the messages
// it is given so that the user's thread can show them later, in order.
#include <string>
#include <utility>
#include <vector>

#include "talk/Prompt.h"

namespace tarvex {

struct DeferredMessage {
    std::string text;
    MsgIcon icon;
};

class DeferredPrompt final : public IPrompt {
public:
    MsgAnswer Message(std::string_view text, MsgIcon icon, MsgButtons buttons) override
    {
        messages_.push_back({std::string(text), icon});
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
    }
    std::optional<PasswordBlocks> AskPassword(PasswordMode) override { return std::nullopt; }
    void ProgressBegin(uint32_t) override {}
    void ProgressText(std::string_view) override {}
    void ProgressStep() override {}
    void ProgressEnd() override {}
    bool ShowsProgressText() const override { return false; }

    // The messages kept so far; the prompt is empty again afterwards.
    std::vector<DeferredMessage> Take() { return std::exchange(messages_, {}); }

private:
    std::vector<DeferredMessage> messages_;
};

// Shows kept messages through the user's prompt.
inline void ShowMessages(const std::vector<DeferredMessage>& messages, IPrompt& prompt)
{
    for (const DeferredMessage& m : messages) prompt.Tell(m.text, m.icon);
}

}  // namespace tarvex
