#include "ui/CCreditsCtrl.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QRandomGenerator>
#include <QTimerEvent>
#include <algorithm>

namespace tarvex {

void MoveStar(Star& star, int speed)
{
    star.z -= speed;
    if (star.z >= 256) star.z = -255;
    if (star.z < -255) star.z = 255;
}

StarPoint ProjectStar(const Star& star, int width, int height)
{
    // z stays in -255..255, so the divisor is never 0.
    const int depth = star.z + 256;
    return {star.x * 100 / depth + width / 2, star.y * 100 / depth + height / 2, ~star.z & 255};
}

int CalibratedScrollSpeed(int64_t frameMs, int speed)
{
    const int base = std::max(speed, 1);
    const int64_t scaled = frameMs * base / 50;
    return static_cast<int>(std::clamp<int64_t>(scaled, base, 64));
}

CCreditsCtrl::CCreditsCtrl(QWidget* parent)
    : QWidget(parent), font_(QStringLiteral("Tahoma")), random_(QRandomGenerator::global()->generate())
{
    font_.setPixelSize(24);
    font_.setBold(true);
    font_.setStyleHint(QFont::SansSerif);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CCreditsCtrl::Start()
{
    stars_.resize(kStarCount);
    const auto next = [this](int modulus) { return static_cast<int>(random_() % static_cast<unsigned>(modulus)); };
    for (Star& star : stars_) {
        star.x = next(1025) - 512;
        star.y = next(1025) - 512;
        star.z = next(513) - 256;
    }
    textTop_ = height();
    QElapsedTimer clock;
    clock.start();
    RenderFrame();
    scrollSpeed_ = CalibratedScrollSpeed(clock.elapsed(), scrollSpeed_);
    timer_.start(kFramePeriodMs, this);
}

void CCreditsCtrl::RenderFrame()
{
    if (frame_.size() != size()) frame_ = QImage(size(), QImage::Format_RGB32);
    if (frame_.isNull()) return;
    DrawStars();
    Squeeze(DrawText());
    textTop_ -= scrollSpeed_;
    update();
}

void CCreditsCtrl::DrawStars()
{
    frame_.fill(Qt::black);
    QPainter painter(&frame_);
    for (Star& star : stars_) {
        MoveStar(star, starSpeed_);
        const StarPoint p = ProjectStar(star, width(), height());
        const QColor grey(p.grey, p.grey, p.grey);
        painter.setPen(QPen(grey, 1));
        painter.setBrush(grey);
        painter.drawEllipse(QRect(p.x, p.y, 3, 3));
    }
}

QImage CCreditsCtrl::DrawText()
{
    QImage text(size(), QImage::Format_RGB32);
    text.fill(Qt::black);
    QPainter painter(&text);
    painter.setFont(font_);
    const QFontMetrics metrics(font_);
    for (int i = 0; i < lines_.size(); ++i) {
        const QSize line = metrics.size(Qt::TextSingleLine, lines_[i]);
        const int y = textTop_ + i * line.height();
        if (y > 0) {
            // Lines fade out as they near the top.
            const int grey = std::min(y, 255);
            painter.setPen(QColor(grey, grey, grey));
            painter.drawText(QRect(width() / 2 - line.width() / 2, y, line.width(), line.height()),
                             Qt::AlignLeft | Qt::AlignTop, lines_[i]);
        } else if (i == lines_.size() - 1) {
            // The last line has left: the credits start again from below.
            textTop_ = height();
        }
    }
    return text;
}

void CCreditsCtrl::Squeeze(const QImage& text)
{
    // Row r keeps r / height of its width, centred, and is combined with the
    // stars by a bitwise or.
    const int w = width();
    const int h = height();
    for (int r = 0; r < h; ++r) {
        const double rowWidth = w * (static_cast<double>(r) / h);
        const int left = static_cast<int>((w - rowWidth) / 2);
        const int count = static_cast<int>(rowWidth);
        const auto* source = reinterpret_cast<const QRgb*>(text.constScanLine(r));
        auto* target = reinterpret_cast<QRgb*>(frame_.scanLine(r));
        for (int dx = 0; dx < count && left + dx < w; ++dx) {
            const int sx = std::min(static_cast<int>(dx * w / rowWidth), w - 1);
            target[left + dx] |= source[sx];
        }
    }
}

void CCreditsCtrl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (frame_.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    painter.drawImage(0, 0, frame_);
}

void CCreditsCtrl::resizeEvent(QResizeEvent* event)
{
    frame_ = QImage(size(), QImage::Format_RGB32);
    frame_.fill(Qt::black);
    QWidget::resizeEvent(event);
}

void CCreditsCtrl::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == timer_.timerId()) {
        RenderFrame();
        return;
    }
    QWidget::timerEvent(event);
}

}  // namespace tarvex
