#include "ui/CPasswordDlg.h"

#include <QLabel>

#include "base/GbkText.h"
#include "format/PasswordKeys.h"
#include "talk/Messages.h"
#include "ui/Artwork.h"
#include "ui/CFlatEdit.h"
#include "ui/CSkinButton.h"
#include "ui/DialogLook.h"
#include "ui/MessageBox.h"

namespace tarvex {
namespace {

QLabel* MakeLabel(QWidget* parent, int id, const QString& text, QRect where)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QStringLiteral("ctl%1").arg(id));
    label->setGeometry(where);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(false);
    return label;
}

CFlatEdit* MakeEdit(QWidget* parent, int id, QRect where)
{
    auto* edit = new CFlatEdit(parent);
    edit->setObjectName(QStringLiteral("ctl%1").arg(id));
    edit->setGeometry(where);
    edit->setEchoMode(QLineEdit::Password);
    return edit;
}

CSkinButton* MakeButton(QWidget* parent, int id, const QString& text, QRect where)
{
    auto* button = new CSkinButton(text, parent);
    button->setObjectName(QStringLiteral("ctl%1").arg(id));
    button->setGeometry(where);
    button->SetSkin(art::kButtonSkin, 5, 5, 5, 4, true);
    return button;
}

}  // namespace

CPasswordDlg::CPasswordDlg(PasswordMode mode, QWidget* parent) : QDialog(parent), mode_(mode)
{
    setObjectName(QStringLiteral("dlg143"));
    setWindowTitle(QStringLiteral("输入密码，加密文件"));
    setFont(DialogFont());
    ApplyDialogLook(*this);
    setFixedSize(Dlu(187), Dlu(113));

    intro_ = MakeLabel(this, 1018,
                       QStringLiteral("要加密文件吗？\n\n将你的文件加密可以加强文件的安全性。\n"
                                      "没有密码将无法打开已被加密的文件。"),
                       DluRect(10, 7, 170, 44));
    QLabel* passwordLabel = MakeLabel(this, 1014, QStringLiteral("密    码："), DluRect(18, 58, 44, 10));
    password_ = MakeEdit(this, 1012, DluRect(64, 56, 100, 12));
    QLabel* confirmLabel = MakeLabel(this, 1015, QStringLiteral("确认密码："), DluRect(18, 75, 44, 10));
    confirm_ = MakeEdit(this, 1013, DluRect(64, 73, 100, 12));
    QLabel* openLabel = MakeLabel(this, 1017, QStringLiteral("密    码："), DluRect(18, 66, 44, 10));
    openPassword_ = MakeEdit(this, 1016, DluRect(64, 64, 100, 12));
    openLabel->hide();
    openPassword_->hide();

    ok_ = MakeButton(this, 1, QStringLiteral("加密"), DluRect(36, 93, 50, 14));
    cancel_ = MakeButton(this, 2, QStringLiteral("不加密"), DluRect(101, 93, 50, 14));
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &CPasswordDlg::accept);
    connect(cancel_, &QPushButton::clicked, this, &CPasswordDlg::reject);

    if (mode_ == PasswordMode::Enter) {
        setWindowTitle(QStringLiteral("请输入打开该文件的密码"));
        for (QWidget* w : {static_cast<QWidget*>(password_), static_cast<QWidget*>(passwordLabel),
                           static_cast<QWidget*>(confirm_), static_cast<QWidget*>(confirmLabel)})
            w->hide();
        openLabel->show();
        openPassword_->show();
        intro_->setText(
            QStringLiteral("请输入打开该文件的密码：\n\n该文件已被所有者加密。\n没有密码将无法打开该文件。"));
        ok_->setText(QStringLiteral("确认"));
        openPassword_->setFocus();
    } else {
        password_->setFocus();
    }
}

void CPasswordDlg::Refuse(const QString& message, QWidget* focus)
{
    ShowMessage(this, message, MsgIcon::Error, MsgButtons::Ok);
    focus->setFocus();
}

std::optional<std::string> CPasswordDlg::GbkText(const QString& text)
{
    std::optional<std::string> gbk = Utf8ToGbk(text.toStdString());
    if (!gbk)
        Refuse(QStringLiteral("密码含有无法用GBK编码表示的字符，请换一个密码！"),
               mode_ == PasswordMode::Set ? password_ : openPassword_);
    return gbk;
}

void CPasswordDlg::accept()
{
    std::optional<std::string> gbk;
    if (mode_ == PasswordMode::Set) {
        gbk = GbkText(password_->text());
        if (!gbk) return;
        // The two texts are compared as the bytes they are stored as.
        if (Utf8ToGbk(confirm_->text().toStdString()) != gbk) {
            Refuse(QStringLiteral("您两次输入的密码不一致，请重新输入!"), password_);
            return;
        }
    } else {
        gbk = GbkText(openPassword_->text());
        if (!gbk) return;
    }
    PasswordBlocks blocks{};
    if (!gbk->empty()) blocks = DerivePasswordBlocks(*gbk);
    // A pack cannot carry every password's keys: ask for another one.
    if (mode_ == PasswordMode::Set && !KeysUsable(MakeKeySchedule(blocks))) {
        Refuse(QString::fromUtf8(msg::kPasswordUnusable), password_);
        return;
    }
    blocks_ = blocks;
    QDialog::accept();
}

}  // namespace tarvex
