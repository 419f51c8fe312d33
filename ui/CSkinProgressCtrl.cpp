#include "ui/CSkinProgressCtrl.h"

#include <QPainter>
#include <cstdlib>

#include "ui/Artwork.h"
#include "ui/DialogLook.h"
#include "ui/NineSlice.h"

namespace tarvex {

CSkinProgressCtrl::CSkinProgressCtrl(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool CSkinProgressCtrl::SetSkin(int bitmapId, int top, int bottom, int left, int right, int cellWidth,
                                int cellSourceHeight)
{
    top_ = top;
    bottom_ = bottom;
    left_ = left;
    right_ = right;
    skinId_ = bitmapId;
    const QImage skin = art::Bitmap(bitmapId);
    if (skin.isNull() || cellWidth <= 0) return false;
    skinWidth_ = skin.width();
    skinHalfHeight_ = skin.height() / 2;
    if (skinHalfHeight_ == 0) return false;

    const QSize client = size();
    cellWidth_ = cellWidth;
    cellHeight_ = static_cast<int>(static_cast<double>(cellSourceHeight) / skinHalfHeight_ * client.height());
    cellCount_ = client.width() / cellWidth_;

    QImage background(client, QImage::Format_ARGB32);
    background.fill(kDialogFace);
    const bool framed =
        NineSlice(skin, QRect(0, 0, skinWidth_, skinHalfHeight_), {top, bottom, left, right}, background);
    background_ = QPixmap::fromImage(background);
    if (!framed) return false;

    if (cellHeight_ > 0) {
        QImage cell = skin.copy(left, skinHalfHeight_ + top, cellWidth, cellSourceHeight)
                          .scaled(cellWidth_, cellHeight_, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        cell_ = QPixmap::fromImage(cell);
    }
    update();
    return true;
}

void CSkinProgressCtrl::SetRange(int lower, int upper)
{
    lower_ = lower;
    upper_ = upper;
    span_ = std::abs(upper - lower);
    if (span_ == 0) span_ = 1;
    update();
}

void CSkinProgressCtrl::SetPos(int pos)
{
    if (pos > upper_) pos = upper_;
    if (pos < lower_) pos = lower_;
    pos_ = pos;
    update();
}

void CSkinProgressCtrl::SetStep(int step)
{
    step_ = step;
}

void CSkinProgressCtrl::StepIt()
{
    StepIt(1);
}

void CSkinProgressCtrl::StepIt(uint32_t times)
{
    if (times == 0) return;
    for (uint32_t i = 0; i < times; ++i) {
        pos_ += step_;
        if (pos_ > upper_) pos_ = pos_ + lower_ - upper_;
    }
    update();
}

int CSkinProgressCtrl::CellsShown() const
{
    return static_cast<int>(static_cast<double>(pos_) / span_ * cellCount_);
}

void CSkinProgressCtrl::paintEvent(QPaintEvent*)
{
    // Drawn off-screen in one image, then shown with a single copy.
    QPixmap canvas(size());
    canvas.fill(kDialogFace);
    {
        QPainter p(&canvas);
        if (!background_.isNull()) p.drawPixmap(0, 0, background_);
        if (!cell_.isNull()) {
            const int y = (height() - cellHeight_) >> 1;
            const int n = CellsShown();
            for (int i = 0; i < n; ++i) p.drawPixmap(left_ + i * cellWidth_, y, cell_);
        }
    }
    QPainter(this).drawPixmap(0, 0, canvas);
}

}  // namespace tarvex
