#include "ui/CProgressDlg.h"

#include <QApplication>
#include <QLabel>

#include "ui/Artwork.h"
#include "ui/CSkinProgressCtrl.h"
#include "ui/DialogLook.h"

namespace tarvex {

CProgressDlg::CProgressDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), text_(new QLabel(this)), bar_(new CSkinProgressCtrl(this))
{
    setObjectName(QStringLiteral("dlg145"));
    setFont(DialogFont());
    ApplyDialogLook(*this);
    setFixedSize(Dlu(196), Dlu(94));
    setModal(false);
    // The work keeps the keyboard's window: activating this one would only
    // have the main window repainted as inactive, and again when it closes.
    setAttribute(Qt::WA_ShowWithoutActivating);
    // The thin border of a captionless pop-up.
    setStyleSheet(QStringLiteral("tarvex--CProgressDlg { border: 1px solid #404040; }"));

    text_->setObjectName(QStringLiteral("ctl1020"));
    text_->setGeometry(DluRect(7, 7, 182, 40));
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text_->setWordWrap(true);
    text_->setText(QStringLiteral("正在存盘，请稍后"));

    bar_->setObjectName(QStringLiteral("ctl1019"));
    bar_->setGeometry(DluRect(7, 59, 182, 13));
    bar_->SetSkin(art::kProgressSkin, 3, 3, 3, 3, 8, 10);
    bar_->SetPos(0);
    bar_->SetStep(1);
}

void CProgressDlg::SetText(const QString& text)
{
    text_->setText(text);
}

QString CProgressDlg::Text() const
{
    return text_->text();
}

void CProgressDlg::ShowNow()
{
    if (parentWidget()) {
        const QRect owner = parentWidget()->window()->geometry();
        move(owner.center() - rect().center());
    }
    show();
    raise();
    Repaint();
}

void CProgressDlg::Repaint()
{
    repaint();
    // Let the window system show what was painted and expose events through;
    // user input waits until the work is done.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace tarvex
