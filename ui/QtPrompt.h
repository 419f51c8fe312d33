#pragma once
// The editor's side of the prompt seam: real message boxes, the password
// dialog and the progress window, all owned by the main window.
#include <QPointer>
#include <QWidget>
#include <memory>

#include "talk/Prompt.h"

namespace tarvex {

class CProgressDlg;

class QtPrompt final : public IPrompt {
public:
    QtPrompt();
    ~QtPrompt() override;

    void SetOwner(QWidget* owner) { owner_ = owner; }

    MsgAnswer Message(std::string_view text, MsgIcon icon, MsgButtons buttons) override;
    std::optional<PasswordBlocks> AskPassword(PasswordMode mode) override;
    void ProgressBegin(uint32_t range) override;
    void ProgressText(std::string_view text) override;
    void ProgressStep() override;
    void ProgressEnd() override;

    // The progress window while one is shown.
    CProgressDlg* Progress() const { return progress_.get(); }

private:
    QPointer<QWidget> owner_;
    std::unique_ptr<CProgressDlg> progress_;
};

}  // namespace tarvex
