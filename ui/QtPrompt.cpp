#include "ui/QtPrompt.h"

#include <QApplication>

#include "ui/CPasswordDlg.h"
#include "ui/CProgressDlg.h"
#include "ui/CSkinProgressCtrl.h"
#include "ui/MessageBox.h"

namespace tarvex {

QtPrompt::QtPrompt() = default;

QtPrompt::~QtPrompt()
{
    ProgressEnd();
}

MsgAnswer QtPrompt::Message(std::string_view text, MsgIcon icon, MsgButtons buttons)
{
    // A message during long work must not hide behind the busy cursor.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
    const MsgAnswer answer =
        ShowMessage(owner_, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), icon, buttons);
    if (busy) QApplication::restoreOverrideCursor();
    return answer;
}

std::optional<PasswordBlocks> QtPrompt::AskPassword(PasswordMode mode)
{
    CPasswordDlg dialog(mode, owner_);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Blocks();
}

void QtPrompt::ProgressBegin(uint32_t range)
{
    ProgressEnd();
    progress_ = std::make_unique<CProgressDlg>(owner_);
    progress_->Bar().SetRange(0, static_cast<int>(std::min<uint32_t>(range, INT32_MAX)));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    progress_->ShowNow();
}

void QtPrompt::ProgressText(std::string_view text)
{
    if (!progress_) return;
    progress_->SetText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    progress_->Repaint();
}

void QtPrompt::ProgressStep()
{
    if (!progress_) return;
    progress_->Bar().StepIt();
    progress_->Repaint();
}

void QtPrompt::ProgressEnd()
{
    if (!progress_) return;
    progress_.reset();
    QApplication::restoreOverrideCursor();
}

}  // namespace tarvex
