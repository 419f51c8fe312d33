#include "ui/NineSlice.h"

#include <QPainter>

namespace tarvex {

bool NineSlice(const QImage& skin, QRect source, Borders b, QImage& target)
{
    if (b.top < 0 || b.bottom < 0 || b.left < 0 || b.right < 0) return false;
    if (b.left + b.right > source.width() || b.top + b.bottom > source.height()) return false;
    if (!skin.rect().contains(source)) return false;

    const int sx = source.x(), sy = source.y(), sw = source.width(), sh = source.height();
    const int tw = target.width(), th = target.height();
    const int innerSw = sw - b.left - b.right, innerSh = sh - b.top - b.bottom;
    const int innerTw = std::max(0, tw - b.left - b.right), innerTh = std::max(0, th - b.top - b.bottom);

    QPainter p(&target);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    const auto piece = [&](int tx, int ty, int w, int h, int fx, int fy, int fw, int fh) {
        if (w <= 0 || h <= 0 || fw <= 0 || fh <= 0) return;
        p.drawImage(QRect(tx, ty, w, h), skin, QRect(fx, fy, fw, fh));
    };
    // Corners.
    piece(0, 0, b.left, b.top, sx, sy, b.left, b.top);
    piece(0, th - b.bottom, b.left, b.bottom, sx, sy + sh - b.bottom, b.left, b.bottom);
    piece(tw - b.right, 0, b.right, b.top, sx + sw - b.right, sy, b.right, b.top);
    piece(tw - b.right, th - b.bottom, b.right, b.bottom, sx + sw - b.right, sy + sh - b.bottom, b.right, b.bottom);
    // Centre, then the edges between the corners.
    piece(b.left, b.top, innerTw, innerTh, sx + b.left, sy + b.top, innerSw, innerSh);
    piece(b.left, 0, innerTw, b.top, sx + b.left, sy, innerSw, b.top);
    piece(b.left, th - b.bottom, innerTw, b.bottom, sx + b.left, sy + sh - b.bottom, innerSw, b.bottom);
    piece(0, b.top, b.left, innerTh, sx, sy + b.top, b.left, innerSh);
    piece(tw - b.right, b.top, b.right, innerTh, sx + sw - b.right, sy + b.top, b.right, innerSh);
    return true;
}

}  // namespace tarvex
