#include "ui/artwork/ArtPieces.h"

#include <QLinearGradient>
#include <QPainterPath>

namespace tarvex::artwork {

// Draws on a transparent image in a 16 x 16 (or given) unit space, then
// flattens it onto the key colour: half-covered pixels become solid, the
// rest the key, so the program's colour keys stay exact.
QImage Render(int w, int h, double units, const Draw& draw, QColor key)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(w / units, h / units);
        draw(p);
    }
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const QColor c = QColor::fromRgba(line[x]);
            line[x] = c.alpha() >= 110 ? QColor(c.red(), c.green(), c.blue()).rgb() : key.rgb();
        }
    }
    return image;
}

QImage Strip(const std::vector<Draw>& cells, int w, int h, double units, QColor key)
{
    QImage strip(w * static_cast<int>(cells.size()), h, QImage::Format_RGB32);
    QPainter p(&strip);
    for (size_t i = 0; i < cells.size(); ++i)
        p.drawImage(static_cast<int>(i) * w, 0, Render(w, h, units, cells[i], key));
    return strip;
}

QPen Pen(QColor c, double w)
{
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// ---- shared pieces, in a 16 x 16 space
void Page(QPainter& p, QColor fill)
{
    QPainterPath path;
    path.moveTo(3, 1);
    path.lineTo(10, 1);
    path.lineTo(13.5, 4.5);
    path.lineTo(13.5, 15);
    path.lineTo(3, 15);
    path.closeSubpath();
    p.setPen(Pen(QColor(90, 100, 115), 0.9));
    p.setBrush(fill);
    p.drawPath(path);
    QPainterPath fold;
    fold.moveTo(10, 1);
    fold.lineTo(10, 4.5);
    fold.lineTo(13.5, 4.5);
    p.setBrush(QColor(215, 222, 230));
    p.drawPath(fold);
}

void TextLines(QPainter& p, double x0, double x1, double y0, int count, QColor c)
{
    p.setPen(Pen(c, 0.9));
    for (int i = 0; i < count; ++i) p.drawLine(QPointF(x0, y0 + i * 2), QPointF(x1, y0 + i * 2));
}

void Folder(QPainter& p, bool open)
{
    p.setPen(Pen(QColor(160, 115, 20), 0.9));
    p.setBrush(QColor(238, 190, 70));
    QPainterPath back;
    back.moveTo(1, 3);
    back.lineTo(6, 3);
    back.lineTo(7.5, 4.5);
    back.lineTo(14.5, 4.5);
    back.lineTo(14.5, 13.5);
    back.lineTo(1, 13.5);
    back.closeSubpath();
    p.drawPath(back);
    if (open) {
        p.setBrush(QColor(252, 220, 120));
        QPainterPath front;
        front.moveTo(3.5, 7);
        front.lineTo(15.5, 7);
        front.lineTo(13.5, 13.5);
        front.lineTo(1, 13.5);
        front.closeSubpath();
        p.drawPath(front);
    } else {
        p.setBrush(QColor(250, 208, 100));
        p.drawRect(QRectF(1, 6, 13.5, 7.5));
    }
}

void Badge(QPainter& p, const QString& text, QColor bg, double size)
{
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(1.5, 8, 11, 6.5), 1.2, 1.2);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(1);
    f.setPointSizeF(size * 0.72);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(1.5, 8, 11, 6.5), Qt::AlignCenter, text);
}

void Floppy(QPainter& p)
{
    p.setPen(Pen(QColor(30, 50, 110), 0.9));
    p.setBrush(QColor(60, 95, 190));
    p.drawRoundedRect(QRectF(1.5, 1.5, 12.5, 12), 1, 1);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4, 1.5, 7.5, 4.5));
    p.setBrush(QColor(200, 205, 215));
    p.drawRect(QRectF(4, 8.5, 7.5, 5));
}

void Scissors(QPainter& p)
{
    p.setPen(Pen(QColor(70, 70, 80), 1.1));
    p.drawLine(QPointF(4, 1), QPointF(10.5, 10));
    p.drawLine(QPointF(11, 1), QPointF(4.5, 10));
    p.setBrush(Qt::NoBrush);
    p.setPen(Pen(QColor(180, 30, 30), 1.3));
    p.drawEllipse(QPointF(4, 12), 2.2, 2.2);
    p.drawEllipse(QPointF(11, 12), 2.2, 2.2);
}

void CopyPages(QPainter& p)
{
    p.save();
    p.translate(-2, -1);
    p.scale(0.8, 0.8);
    Page(p);
    TextLines(p, 5, 11, 6, 4);
    p.restore();
    p.save();
    p.translate(3.5, 2);
    p.scale(0.8, 0.8);
    Page(p);
    TextLines(p, 5, 11, 6, 4);
    p.restore();
}

void Clipboard(QPainter& p)
{
    p.setPen(Pen(QColor(110, 75, 30), 0.9));
    p.setBrush(QColor(190, 140, 70));
    p.drawRoundedRect(QRectF(1.5, 2.5, 10, 12), 1, 1);
    p.setBrush(QColor(180, 180, 190));
    p.drawRoundedRect(QRectF(4, 1, 5, 3), 0.8, 0.8);
    p.save();
    p.translate(5, 4);
    p.scale(0.68, 0.7);
    Page(p);
    TextLines(p, 5, 11, 6, 4);
    p.restore();
}

void Printer(QPainter& p)
{
    p.setPen(Pen(QColor(60, 60, 70), 0.9));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4, 1.5, 8, 5));
    p.setBrush(QColor(170, 175, 185));
    p.drawRoundedRect(QRectF(1.5, 6, 13, 6), 1, 1);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4, 10, 8, 4.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 180, 60));
    p.drawEllipse(QPointF(12.5, 8), 0.8, 0.8);
}

void Question(QPainter& p, QColor bg, const QString& mark)
{
    p.setPen(Pen(bg.darker(140), 0.8));
    p.setBrush(bg);
    p.drawEllipse(QPointF(8, 7.5), 6.3, 6.3);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(7.5);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(1.5, 1, 13, 13), Qt::AlignCenter, mark);
}

void Squares(QPainter& p, int n, double size)
{
    p.setPen(Pen(QColor(40, 70, 140), 0.8));
    p.setBrush(QColor(110, 160, 230));
    const double step = 14.0 / n;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) p.drawRect(QRectF(1.2 + x * step, 1.2 + y * step, size, size));
}

void ListLines(QPainter& p, bool details)
{
    p.setPen(Pen(QColor(40, 70, 140), 0.8));
    p.setBrush(QColor(110, 160, 230));
    for (int i = 0; i < 4; ++i) {
        const double y = 2 + i * 3.4;
        if (details) {
            p.drawRect(QRectF(1.5, y, 2.2, 2.2));
            p.drawLine(QPointF(5, y + 1.1), QPointF(9, y + 1.1));
            p.drawLine(QPointF(10.5, y + 1.1), QPointF(14.5, y + 1.1));
        } else {
            p.drawRect(QRectF(1.5, y, 2.2, 2.2));
            p.drawLine(QPointF(4.5, y + 1.1), QPointF(7, y + 1.1));
            p.drawRect(QRectF(8.5, y, 2.2, 2.2));
            p.drawLine(QPointF(11.5, y + 1.1), QPointF(14, y + 1.1));
        }
    }
}

void Arrow(QPainter& p, bool redo)
{
    p.save();
    if (redo) {
        p.translate(16, 0);
        p.scale(-1, 1);
    }
    p.setPen(Pen(QColor(30, 90, 170), 1.6));
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    path.moveTo(4, 6);
    path.cubicTo(9, 2, 15, 6, 12, 12);
    p.drawPath(path);
    p.setBrush(QColor(30, 90, 170));
    p.setPen(Qt::NoPen);
    QPolygonF head;
    head << QPointF(1.5, 6.5) << QPointF(6.5, 3) << QPointF(6.5, 9.5);
    p.drawPolygon(head);
    p.restore();
}

void Windows(QPainter& p, int kind)
{
    p.setPen(Pen(QColor(40, 60, 110), 0.8));
    const auto window = [&p](QRectF r) {
        p.setBrush(Qt::white);
        p.drawRect(r);
        p.setBrush(QColor(50, 100, 200));
        p.drawRect(QRectF(r.x(), r.y(), r.width(), 2));
    };
    switch (kind) {
        case 0:
            window(QRectF(1.5, 2, 12, 11));
            break;
        case 1:
            window(QRectF(1.5, 1.5, 9, 8));
            window(QRectF(5.5, 5.5, 9, 8));
            break;
        case 2:
            window(QRectF(1.5, 1.5, 13, 5.5));
            window(QRectF(1.5, 8, 13, 5.5));
            break;
        case 3:
            window(QRectF(1.5, 1.5, 6, 12));
            window(QRectF(8.5, 1.5, 6, 12));
            break;
    }
}

void Exit(QPainter& p)
{
    p.setPen(Pen(QColor(90, 60, 30), 0.9));
    p.setBrush(QColor(160, 110, 60));
    p.drawRect(QRectF(2, 1.5, 7, 12.5));
    p.setPen(Pen(QColor(200, 40, 30), 1.6));
    p.drawLine(QPointF(7, 8), QPointF(14, 8));
    p.drawLine(QPointF(11.5, 5.5), QPointF(14, 8));
    p.drawLine(QPointF(11.5, 10.5), QPointF(14, 8));
}

void Magnifier(QPainter& p)
{
    p.setPen(Pen(QColor(60, 60, 70), 1.5));
    p.setBrush(QColor(200, 225, 250));
    p.drawEllipse(QPointF(6.5, 6.5), 4, 4);
    p.drawLine(QPointF(9.5, 9.5), QPointF(14, 14));
}

void NewPage(QPainter& p)
{
    Page(p);
    p.setPen(Pen(QColor(230, 170, 0), 1.2));
    p.drawLine(QPointF(11, 9), QPointF(15, 13));
    p.drawLine(QPointF(15, 9), QPointF(11, 13));
    p.drawLine(QPointF(13, 8.3), QPointF(13, 13.7));
}

}  // namespace tarvex::artwork
