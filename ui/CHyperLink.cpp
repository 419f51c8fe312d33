#include "ui/CHyperLink.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUrl>

#include "ui/MessageBox.h"

namespace tarvex {
namespace {

constexpr const char* kWelcome = "欢迎访问我的主页！";
// What the desktop gives for a link it cannot open: no program is
// associated with it.
constexpr int kNoAssociation = 31;
constexpr int kOpened = 33;

}  // namespace

CHyperLink::CHyperLink(QWidget* parent) : QLabel(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    hover_ = QApplication::palette().color(QPalette::Highlight);
    ShowState();
}

void CHyperLink::SetLinkColors(QColor link, QColor active, QColor visited, std::optional<QColor> hover)
{
    link_ = link;
    active_ = active;
    visitedColour_ = visited;
    hover_ = hover.value_or(QApplication::palette().color(QPalette::Highlight));
    ShowState();
}

void CHyperLink::SetLinkTarget(const QString& target)
{
    target_ = target;
    if (!prepared_) return;
    hide();
    Refit();
    setToolTip(target_);
    show();
}

void CHyperLink::Prepare()
{
    if (target_.isEmpty()) target_ = text();
    if (text().isEmpty()) setText(target_);
    QFont linkFont = font();
    linkFont.setUnderline(style_ & kUnderline);
    setFont(linkFont);
    Refit();
    if (!(style_ & kKeepCursor)) setCursor(Qt::PointingHandCursor);
    setToolTip(QString::fromUtf8(kWelcome));
    prepared_ = true;
}

void CHyperLink::Refit()
{
    if (!(style_ & kFitToText)) return;
    const QSize text = fontMetrics().size(Qt::TextSingleLine, this->text());
    const int border = 2 * frameWidth();
    const QRect old = geometry();
    const int width = text.width() + border;
    const int height = text.height() + border;
    int x = old.x();
    if (alignment() & Qt::AlignHCenter) {
        x = old.x() + (old.width() - width) / 2;
    } else if (alignment() & Qt::AlignRight) {
        x = old.right() + 1 - width;
    }
    const int y = alignment() & Qt::AlignVCenter ? old.y() + (old.height() - height) / 2 : old.y();
    setGeometry(x, y, width, height);
}

QUrl CHyperLink::LinkUrl(const QString& target)
{
    const QUrl url(target);
    return url.scheme().isEmpty() ? QUrl(QStringLiteral("https://") + target) : url;
}

int CHyperLink::OpenTarget(const QString& target)
{
    return QDesktopServices::openUrl(LinkUrl(target)) ? kOpened : kNoAssociation;
}

void CHyperLink::ActivateLink()
{
    const int result = opener_(target_);
    if (result <= 32) {
        QApplication::beep();
        ShowOpenError(this, result);
        return;
    }
    visited_ = true;
    ShowState();
}

QString CHyperLink::OpenErrorText(int code)
{
    const char* text = nullptr;
    switch (code) {
        case 0:
            text = "操作系统内存或计算机资源不足!";
            break;
        case 2:
            text = "未找到指定的文件!";
            break;
        case 3:
            text = "未找到指定路径!";
            break;
        case 5:
            text = "操作系统拒绝访问指定的文件!";
            break;
        case 8:
            text = "没有足够的内存来完成操作!";
            break;
        case 11:
            text = "可执行文件无效(非32位或文件有错误)!";
            break;
        case 26:
            text = "发生了一个共享错误!";
            break;
        case 27:
            text = "文件的关联未完成或无效!";
            break;
        case 28:
            text = "由于超过请求时间，DDE操作无法完成!";
            break;
        case 29:
            text = "DDE操作失败!";
            break;
        case 30:
            text = "由于其他的DDE操作正在进行，当前DDE无法完成!";
            break;
        case 31:
            text = "没有应用程序与给出的扩展名关联!";
            break;
        case 32:
            text = "指定的动态链接库未找到!";
            break;
        default:
            break;
    }
    const QString words = text ? QString::fromUtf8(text) : QStringLiteral("发生未知错误(%1)!").arg(code);
    return QStringLiteral("无法打开链接:\n\n") + words;
}

void CHyperLink::ShowOpenError(QWidget* parent, int code)
{
    ShowMessage(parent, OpenErrorText(code), MsgIcon::Warning, MsgButtons::Ok);
}

QColor CHyperLink::TextColor() const
{
    if (over_ && (style_ & kHoverColour)) return hover_;
    if (armed_ && !(style_ & kNoActiveColour)) return active_;
    return visited_ ? visitedColour_ : link_;
}

void CHyperLink::ShowState()
{
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, TextColor());
    setPalette(colours);
    update();
}

void CHyperLink::mouseMoveEvent(QMouseEvent* event)
{
    if (!over_) {
        over_ = true;
        armed_ = true;
    } else {
        armed_ = false;
        if (!rect().contains(event->position().toPoint())) over_ = false;
    }
    ShowState();
}

void CHyperLink::leaveEvent(QEvent* event)
{
    over_ = false;
    armed_ = false;
    ShowState();
    QLabel::leaveEvent(event);
}

void CHyperLink::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return QLabel::mousePressEvent(event);
    if (style_ & kFocusOnButtonDown) setFocus(Qt::MouseFocusReason);
    if (style_ & kOpenOnButtonDown) ActivateLink();
    armed_ = true;
    ShowState();
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return QLabel::mouseReleaseEvent(event);
    if (armed_ && !(style_ & kOpenOnButtonDown)) ActivateLink();
}

void CHyperLink::focusInEvent(QFocusEvent* event)
{
    armed_ = true;
    ShowState();
    QLabel::focusInEvent(event);
}

void CHyperLink::focusOutEvent(QFocusEvent* event)
{
    over_ = false;
    armed_ = false;
    ShowState();
    QLabel::focusOutEvent(event);
}

void CHyperLink::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space) {
        ActivateLink();
        return;
    }
    QLabel::keyPressEvent(event);
}

}  // namespace tarvex
