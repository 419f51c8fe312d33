#include "ui/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "ui/DialogLook.h"

namespace tarvex {

MsgAnswer ShowMessage(QWidget* parent, const QString& text, MsgIcon icon, MsgButtons buttons)
{
    return ShowMessage(parent, QString::fromUtf8(kAppTitle), text, icon, buttons);
}

MsgAnswer ShowMessage(QWidget* parent, const QString& caption, const QString& text, MsgIcon icon, MsgButtons buttons)
{
    QMessageBox box(parent ? parent->window() : QApplication::activeWindow());
    box.setWindowTitle(caption);
    ApplyDialogLook(box);
    box.setText(text);
    switch (icon) {
        case MsgIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case MsgIcon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case MsgIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MsgIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
    }
    QPushButton* yes = nullptr;
    QPushButton* no = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* ok = nullptr;
    switch (buttons) {
        case MsgButtons::Ok:
            ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
            break;
        case MsgButtons::YesNoCancel:
            cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
            [[fallthrough]];
        case MsgButtons::YesNo:
            yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
            no = box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
            break;
    }
    box.setDefaultButton(ok ? ok : yes);
    if (ok)
        box.setEscapeButton(ok);
    else
        box.setEscapeButton(cancel ? cancel : no);
    box.exec();

    const QAbstractButton* clicked = box.clickedButton();
    if (clicked && clicked == yes) return MsgAnswer::Yes;
    if (clicked && clicked == no) return MsgAnswer::No;
    if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
    return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Cancel;
}

}  // namespace tarvex
