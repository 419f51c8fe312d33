#include "ui/CSkinButton.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

#include "ui/Artwork.h"
#include "ui/DialogLook.h"
#include "ui/NineSlice.h"

namespace tarvex {

CSkinButton::CSkinButton(const QString& text, QWidget* parent) : QPushButton(text, parent)
{
    setAttribute(Qt::WA_Hover, false);
    setFont(textFont_.Font());
}

bool CSkinButton::SetSkin(int bitmapId, int top, int bottom, int left, int right, bool showFocus)
{
    showFocus_ = showFocus;
    top_ = top;
    bottom_ = bottom;
    left_ = left;
    right_ = right;
    skinId_ = bitmapId;
    const QImage skin = art::Bitmap(bitmapId);
    if (skin.isNull()) return false;
    cellWidth_ = skin.width() / 5;
    cellHeight_ = skin.height();

    const QRgb key = transparent_.rgb();
    for (int i = 0; i < 5; ++i) {
        QImage picture(size(), QImage::Format_ARGB32);
        picture.fill(transparent_);
        if (!NineSlice(skin, QRect(i * cellWidth_, 0, cellWidth_, cellHeight_), {top, bottom, left, right}, picture))
            return false;
        // The mask: pixels of the transparent colour leave the face visible.
        for (int y = 0; y < picture.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < picture.width(); ++x)
                if ((line[x] | 0xFF000000u) == key) line[x] = 0;
        }
        pictures_[i] = QPixmap::fromImage(picture);
    }
    skinReady_ = true;
    update();
    return true;
}

CSkinButton::Picture CSkinButton::CurrentPicture() const
{
    if (!isEnabled()) return kDisabled;
    if (isDown()) return kPressed;
    if (hover_) return kHover;
    if (hasFocus() && showFocus_) return kFocused;
    return kNormal;
}

void CSkinButton::paintEvent(QPaintEvent*)
{
    QPixmap canvas(size());
    canvas.fill(kDialogFace);
    {
        QPainter p(&canvas);
        const Picture picture = CurrentPicture();
        if (skinReady_) p.drawPixmap(0, 0, pictures_[picture]);
        p.setFont(textFont_.Font());
        p.setPen(picture == kDisabled ? palette().color(QPalette::Disabled, QPalette::WindowText)
                                      : textFont_.TextColour());
        p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, text());
    }
    QPainter(this).drawPixmap(0, 0, canvas);
}

void CSkinButton::enterEvent(QEnterEvent* event)
{
    QPushButton::enterEvent(event);
    // Dragging in with the left button held shows no hover.
    if ((QApplication::mouseButtons() & Qt::LeftButton) && !hover_) return;
    hover_ = true;
    update();
}

void CSkinButton::leaveEvent(QEvent* event)
{
    QPushButton::leaveEvent(event);
    if (!hover_) return;
    hover_ = false;
    update();
}

void CSkinButton::mouseMoveEvent(QMouseEvent* event)
{
    QPushButton::mouseMoveEvent(event);
    // Pressed and dragged out: the hover picture goes at once (the leave
    // comes only on release), and does not come back while the button is
    // held.
    if (!hover_ || rect().contains(event->position().toPoint())) return;
    hover_ = false;
    update();
}

void CSkinButton::focusOutEvent(QFocusEvent* event)
{
    QPushButton::focusOutEvent(event);
    hover_ = false;
    update();
}

}  // namespace tarvex
