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
    // Scaled down once per size, never up beyond the picture's own pixels.
    if (scaled_.isNull()) {
        QSize fit = image_.size();
        if (fit.width() > width() || fit.height() > height()) fit = fit.scaled(size(), Qt::KeepAspectRatio);
        if (fit.isEmpty()) return;
        scaled_ = QPixmap::fromImage(image_.scaled(fit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    QPainter painter(this);
    painter.drawPixmap((width() - scaled_.width()) / 2, (height() - scaled_.height()) / 2, scaled_);
}

}  // namespace tarvex
