#include "ui/QtPrompt.h"

#include <QApplication>
#include <chrono>

#include "ui/CPasswordDlg.h"
#include "ui/CProgressDlg.h"
#include "ui/CSkinProgressCtrl.h"
#include "ui/MessageBox.h"

namespace tarvex {
namespace {

QtPrompt::Clock SteadyClock()
{
    return [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
}

}  // namespace

QtPrompt::QtPrompt() : clock_(SteadyClock()) {}

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
    working_ = true;
    range_ = range;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    paintedAt_ = clock_();
}

bool QtPrompt::PaintDue() const
{
    return clock_() - paintedAt_ >= (progress_ ? kPaintEveryMs : kShowAfterMs);
}

bool QtPrompt::ShowsProgressText() const
{
    return working_ && PaintDue();
}

void QtPrompt::ProgressText(std::string_view text)
{
    if (!working_) return;
    text_.assign(text);
    textWaits_ = true;
    if (PaintDue()) PaintProgress();
}

void QtPrompt::ProgressStep()
{
    if (!working_) return;
    ++stepsWaiting_;
    if (PaintDue()) PaintProgress();
}

void QtPrompt::ProgressBytes(uint64_t)
{
    // One long file: the window stays painted while it goes.
    if (working_ && PaintDue()) PaintProgress();
}

void QtPrompt::PaintProgress()
{
    const bool shown = progress_ != nullptr;
    if (!shown) {
        progress_ = std::make_unique<CProgressDlg>(owner_);
        progress_->Bar().SetRange(0, static_cast<int>(std::min<uint32_t>(range_, INT32_MAX)));
    }
    if (textWaits_) progress_->SetText(QString::fromUtf8(text_.data(), static_cast<qsizetype>(text_.size())));
    progress_->Bar().StepIt(stepsWaiting_);
    textWaits_ = false;
    stepsWaiting_ = 0;
    if (shown) {
        progress_->Repaint();
    } else {
        progress_->ShowNow();
    }
    paintedAt_ = clock_();
}

void QtPrompt::ProgressEnd()
{
    textWaits_ = false;
    stepsWaiting_ = 0;
    if (!working_) return;
    working_ = false;
    progress_.reset();
    QApplication::restoreOverrideCursor();
}

}  // namespace tarvex
