#include "ui/CAboutDlg.h"

#include <QLabel>
#include <algorithm>

#include "ui/Artwork.h"
#include "ui/CCreditsCtrl.h"
#include "ui/CHyperLink.h"
#include "ui/CSkinButton.h"
#include "ui/DialogLook.h"

namespace tarvex {
namespace {

constexpr const char* kTeam = "Tarvex 团队";
constexpr const char* kProject = "Tarvex 开源项目";
constexpr const char* kHomeName = "Tarvex 主页";
constexpr const char* kForumName = "Tarvex 论坛";

QLabel* MakeText(QWidget* parent, const QString& text, QRect where)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(where);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The font here may be wider than the one the layout was drawn for:
    // the text is not cut.
    label->resize(std::max(where.width(), label->sizeHint().width()), where.height());
    return label;
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent),
      forum_(new CHyperLink(this)),
      home_(new CHyperLink(this)),
      credits_(new CCreditsCtrl(this)),
      ok_(new CSkinButton(QStringLiteral("确定"), this))
{
    setObjectName(QStringLiteral("dlg100"));
    setWindowTitle(QStringLiteral("关于Tarvex"));
    setFont(DialogFont());
    ApplyDialogLook(*this);
    setFixedSize(Dlu(235), Dlu(251));

    credits_->SetStarSpeed(30);
    credits_->SetScrollSpeed(2);
    const QString team = QString::fromUtf8(kTeam);
    for (const QString& line :
         {QStringLiteral("Tarvex"), QStringLiteral(" "), QStringLiteral("程序开发"), team, QStringLiteral(" "),
          QStringLiteral("主页地址"), QString::fromUtf8(kHomeName), QString::fromUtf8(kHomePage), QStringLiteral(" "),
          QStringLiteral("特别感谢"), QStringLiteral("每一位试用者"), QStringLiteral("每一位报告问题的朋友")})
        credits_->AddLine(line);
    for (CHyperLink* link : {home_, forum_})
        link->SetLinkColors(QColor(0, 0, 255), QColor(255, 0, 0), QColor(0, 0, 255), std::nullopt);
    home_->SetLinkTarget(QString::fromUtf8(kHomePage));
    forum_->SetLinkTarget(QString::fromUtf8(kForum));

    auto* icon = new QLabel(this);
    icon->setGeometry(DluRect(22, 11, 21, 21));
    icon->setPixmap(art::AppIcon().pixmap(32, 32));
    MakeText(this, QStringLiteral("关于Tarvex 0.1 版"), DluRect(67, 14, 101, 8));
    MakeText(this, QString::fromUtf8(kProject) + QStringLiteral("    ") + team, DluRect(69, 24, 97, 8));
    credits_->setObjectName(QStringLiteral("ctl1021"));
    credits_->setGeometry(DluRect(7, 40, 221, 151));
    home_->setObjectName(QStringLiteral("ctl1022"));
    home_->setGeometry(DluRect(13, 205, 186, 9));
    home_->setText(QString::fromUtf8(kHomeName) + QStringLiteral("    ") + QString::fromUtf8(kHomePage));
    forum_->setObjectName(QStringLiteral("ctl1023"));
    forum_->setGeometry(DluRect(13, 216, 186, 9));
    forum_->setText(QString::fromUtf8(kForumName) + QStringLiteral("  ") + QString::fromUtf8(kForum));
    MakeText(this, QStringLiteral("测试版本！请注意更新"), DluRect(33, 232, 86, 9));
    ok_->setObjectName(QStringLiteral("ctl1"));
    ok_->setGeometry(DluRect(178, 230, 50, 14));
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    // The controls are in place: the animation starts, the links are
    // fitted to their texts, the button gets its skin.
    credits_->Start();
    home_->Prepare();
    forum_->Prepare();
    ok_->SetSkin(art::kButtonSkin, 5, 5, 5, 4, true);
}

}  // namespace tarvex
