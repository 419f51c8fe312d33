#pragma once
// The editor's side of the prompt seam: real message boxes, the password
// dialog and the progress window, all owned by the main window.
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "talk/Prompt.h"

namespace tarvex {

class CProgressDlg;

class QtPrompt final : public IPrompt {
public:
    // Milliseconds on a clock that only goes forward.
    using Clock = std::function<int64_t()>;
    // The progress window is painted at most this often, however many items
    // the work steps through: painting it for every one of a pack's 100,000
    // small files would cost many times the work itself.
    static constexpr int64_t kPaintEveryMs = 60;
    // It shows once the work has lasted this long: work that ends sooner
    // shows no window at all (only the busy cursor), which would cost more
    // to make and show than such work takes.
    static constexpr int64_t kShowAfterMs = 250;

    QtPrompt();
    ~QtPrompt() override;

    void SetOwner(QWidget* owner) { owner_ = owner; }
    // Tests hand in a clock of their own.
    void UseClock(Clock clock) { clock_ = std::move(clock); }

    MsgAnswer Message(std::string_view text, MsgIcon icon, MsgButtons buttons) override;
    std::optional<PasswordBlocks> AskPassword(PasswordMode mode) override;
    // The texts and steps of the work are kept and painted, the latest text
    // with the bar where the steps have brought it, once the interval has
    // passed since the work began or was last painted.
    void ProgressBegin(uint32_t range) override;
    void ProgressText(std::string_view text) override;
    void ProgressStep() override;
    void ProgressBytes(uint64_t bytes) override;
    void ProgressEnd() override;
    // Only when a text given now would be painted: the work spares itself
    // the making of every other file's text.
    bool ShowsProgressText() const override;

    // The progress window while one is shown.
    CProgressDlg* Progress() const { return progress_.get(); }
    // Whether long work is going on (begun and not ended).
    bool Working() const { return working_; }

private:
    bool PaintDue() const;
    void PaintProgress();

    QPointer<QWidget> owner_;
    std::unique_ptr<CProgressDlg> progress_;
    Clock clock_;
    bool working_ = false;
    uint32_t range_ = 0;
    int64_t paintedAt_ = 0;
    std::string text_;  // the latest text, not painted yet
    bool textWaits_ = false;
    uint32_t stepsWaiting_ = 0;
};

}  // namespace tarvex
