#pragma once
// A prompt for tests: records every message with its icon, answers questions
// from a script and the password question from a queue.
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "talk/Prompt.h"

namespace tarvex::test {

struct ShownMessage {
    std::string text;
    MsgIcon icon;
    MsgButtons buttons;
};

class RecordingPrompt final : public IPrompt {
public:
    std::vector<ShownMessage> messages;
    std::deque<MsgAnswer> answers;                     // taken in order; Ok/No when empty
    std::deque<std::optional<PasswordBlocks>> passwords;  // nullopt: the user cancelled
    std::vector<std::string> progressTexts;
    int passwordQuestions = 0;
    uint32_t progressRange = 0;
    uint32_t progressSteps = 0;

    MsgAnswer Message(std::string_view text, MsgIcon icon, MsgButtons buttons) override
    {
        messages.push_back({std::string(text), icon, buttons});
        if (onMessage) onMessage(messages.back());
        if (!answers.empty()) {
            const MsgAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
    }
    std::optional<PasswordBlocks> AskPassword(PasswordMode) override
    {
        ++passwordQuestions;
        if (passwords.empty()) return std::nullopt;
        auto blocks = passwords.front();
        passwords.pop_front();
        return blocks;
    }
    void ProgressBegin(uint32_t range) override { progressRange = range; }
    void ProgressText(std::string_view text) override { progressTexts.emplace_back(text); }
    void ProgressStep() override { ++progressSteps; }
    void ProgressEnd() override {}
    void ProgressBytes(uint64_t bytes) override
    {
        if (onProgressBytes) onProgressBytes(bytes);
    }
    // Called with every byte count of the progress, for tests that change
    // things in the middle of an operation.
    std::function<void(uint64_t)> onProgressBytes;
    // Called with every message as it is shown, for tests that look at the
    // windows while a message is up.
    std::function<void(const ShownMessage&)> onMessage;

    // The texts shown, in order.
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (const auto& m : messages) texts.push_back(m.text);
        return texts;
    }
    bool Saw(const std::string& text) const
    {
        for (const auto& m : messages)
            if (m.text == text) return true;
        return false;
    }
};

}  // namespace tarvex::test
