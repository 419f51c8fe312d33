#include "editor/ImagePreview.h"

#include <QPainter>

namespace tarvex {

ImagePreview::ImagePreview(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("imagePreview"));
}

void ImagePreview::SetImage(QImage image)
{
    image_ = std::move(image);
    scaled_ = {};
    update();
}

void ImagePreview::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    scaled_ = {};
}

void ImagePreview::paintEvent(QPaintEvent*)
{
    if (image_.isNull()) return;
    // Scaled once per size: smoothly down, and up with each pixel kept a
    // sharp square (a small texture is looked at for its pixels).
    if (scaled_.isNull()) {
        const QSize fit = image_.size().scaled(size(), Qt::KeepAspectRatio);
        if (fit.isEmpty()) return;
        const bool up = fit.width() > image_.width();
        scaled_ = QPixmap::fromImage(
            image_.scaled(fit, Qt::IgnoreAspectRatio, up ? Qt::FastTransformation : Qt::SmoothTransformation));
    }
    QPainter painter(this);
    painter.drawPixmap((width() - scaled_.width()) / 2, (height() - scaled_.height()) / 2, scaled_);
}

}  // namespace tarvex
