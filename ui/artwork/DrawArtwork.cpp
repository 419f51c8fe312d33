// Draws the editor's bitmaps and icons and writes them as PNG files into the
// folder given on the command line (ui/resources). Run it after changing
// a drawing; the PNG files are kept in the repository as its output.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <functional>
#include <map>

namespace {

using Draw = std::function<void(QPainter&)>;

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

QPen Pen(QColor c, double w = 1.0)
{
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// ---- shared pieces, in a 16 x 16 space
void Page(QPainter& p, QColor fill = QColor(252, 252, 250))
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

void TextLines(QPainter& p, double x0, double x1, double y0, int count, QColor c = QColor(120, 135, 160))
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

void Badge(QPainter& p, const QString& text, QColor bg, double size = 6.5)
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

void Question(QPainter& p, QColor bg = QColor(40, 110, 200), const QString& mark = QStringLiteral("?"))
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

std::vector<Draw> ToolbarCells()
{
    return {NewPage,
            [](QPainter& p) { Folder(p, true); },
            Floppy,
            Scissors,
            CopyPages,
            Clipboard,
            Printer,
            [](QPainter& p) { Squares(p, 2, 5.5); },
            [](QPainter& p) { Squares(p, 3, 3.2); },
            [](QPainter& p) { ListLines(p, false); },
            [](QPainter& p) { ListLines(p, true); },
            [](QPainter& p) { Question(p); }};
}

std::vector<Draw> MenuCells()
{
    // One cell per command of the menu icon list, in its order.
    return {NewPage,
            [](QPainter& p) { Folder(p, true); },
            Floppy,
            Scissors,
            CopyPages,
            Clipboard,
            Printer,
            [](QPainter& p) { Question(p); },
            [](QPainter& p) { Windows(p, 0); },
            [](QPainter& p) { Windows(p, 1); },
            [](QPainter& p) { Windows(p, 2); },
            [](QPainter& p) { Windows(p, 3); },
            [](QPainter& p) { Windows(p, 3); },
            [](QPainter& p) { Windows(p, 2); },
            [](QPainter& p) {
                Printer(p);
                p.setPen(Pen(QColor(60, 60, 60), 0.8));
                p.drawLine(QPointF(13, 1), QPointF(15, 3));
            },
            [](QPainter& p) {
                Floppy(p);
                p.setPen(Pen(QColor(230, 170, 0), 1.3));
                p.drawLine(QPointF(9, 14.5), QPointF(15, 8.5));
            },
            [](QPainter& p) { Arrow(p, true); },
            [](QPainter& p) { Arrow(p, false); },
            Exit,
            Magnifier,
            [](QPainter& p) {
                Page(p);
                p.setPen(Pen(QColor(200, 40, 30), 1.4));
                p.drawLine(QPointF(5, 7), QPointF(11, 13));
                p.drawLine(QPointF(11, 7), QPointF(5, 13));
            },
            [](QPainter& p) {
                Page(p);
                TextLines(p, 5, 11.5, 6, 5, QColor(40, 150, 60));
            },
            [](QPainter& p) { Question(p, QColor(40, 150, 70)); }};
}

// ---- file kinds, 16-unit space scaled to 16 or 32 pixels
std::vector<Draw> FileKindCells()
{
    const auto kind = [](const QString& text, QColor colour) {
        return [text, colour](QPainter& p) {
            Page(p);
            Badge(p, text, colour);
        };
    };
    return {
        [](QPainter& p) { Folder(p, false); },
        [](QPainter& p) {
            Page(p);
            TextLines(p, 5, 11.5, 6, 2, QColor(170, 175, 185));
        },
        [](QPainter& p) {
            Page(p);
            TextLines(p, 5, 11.5, 5.5, 5);
        },
        [](QPainter& p) {
            Page(p);
            p.setPen(Pen(QColor(120, 40, 160), 1.1));
            p.setBrush(QColor(120, 40, 160));
            p.drawLine(QPointF(9.5, 5), QPointF(9.5, 11.5));
            p.drawLine(QPointF(9.5, 5), QPointF(12, 6.5));
            p.drawEllipse(QPointF(7.8, 12), 1.8, 1.4);
        },
        [](QPainter& p) {
            Page(p);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(120, 190, 240));
            p.drawRect(QRectF(4, 6, 8.5, 8));
            p.setBrush(QColor(60, 150, 60));
            QPolygonF hill;
            hill << QPointF(4, 14) << QPointF(7, 9.5) << QPointF(9.5, 12) << QPointF(11, 10.5) << QPointF(12.5, 14);
            p.drawPolygon(hill);
            p.setBrush(QColor(250, 200, 40));
            p.drawEllipse(QPointF(10.5, 7.8), 1.2, 1.2);
        },
        [](QPainter& p) {
            Page(p, QColor(240, 236, 225));
            p.setPen(Pen(QColor(100, 80, 40), 1));
            for (int i = 0; i < 5; ++i) p.drawLine(QPointF(8, 2 + i * 2.2), QPointF(9.5, 3 + i * 2.2));
            p.setBrush(QColor(200, 160, 60));
            p.drawRect(QRectF(7, 12, 3.5, 2.5));
        },
        [](QPainter& p) {
            Page(p);
            p.setPen(Pen(QColor(90, 95, 110), 1.3));
            p.setBrush(QColor(170, 175, 190));
            p.drawEllipse(QPointF(8.2, 10), 3, 3);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(8.2, 10), 1, 1);
        },
        kind(QStringLiteral("DLL"), QColor(110, 110, 130)),
        [](QPainter& p) {
            Page(p);
            p.setPen(Pen(QColor(30, 110, 190), 0.9));
            p.setBrush(QColor(140, 200, 250));
            p.drawEllipse(QPointF(8.2, 10), 3.8, 3.8);
            p.drawLine(QPointF(4.4, 10), QPointF(12, 10));
            p.drawEllipse(QPointF(8.2, 10), 1.6, 3.8);
        },
        [](QPainter& p) {
            Page(p);
            p.setPen(Pen(QColor(40, 40, 50), 0.8));
            p.setBrush(QColor(50, 50, 60));
            p.drawRect(QRectF(4, 6, 8.5, 8));
            p.setBrush(Qt::white);
            for (int i = 0; i < 3; ++i) {
                p.drawRect(QRectF(4.6, 6.8 + i * 2.5, 1, 1));
                p.drawRect(QRectF(10.9, 6.8 + i * 2.5, 1, 1));
            }
        },
        [](QPainter& p) { Windows(p, 0); },
        kind(QStringLiteral("SWF"), QColor(200, 40, 40)),
        kind(QStringLiteral("H"), QColor(130, 60, 170)),
        kind(QStringLiteral("C"), QColor(30, 110, 200)),
        [](QPainter& p) {
            Page(p);
            p.setPen(Pen(QColor(20, 120, 120), 0.9));
            p.setBrush(QColor(90, 200, 190));
            QPolygonF top;
            top << QPointF(5, 8) << QPointF(8.5, 6.2) << QPointF(12, 8) << QPointF(8.5, 9.8);
            p.drawPolygon(top);
            p.setBrush(QColor(40, 160, 150));
            QPolygonF side;
            side << QPointF(5, 8) << QPointF(8.5, 9.8) << QPointF(8.5, 14) << QPointF(5, 12.2);
            p.drawPolygon(side);
            QPolygonF right;
            right << QPointF(12, 8) << QPointF(8.5, 9.8) << QPointF(8.5, 14) << QPointF(12, 12.2);
            p.setBrush(QColor(20, 130, 120));
            p.drawPolygon(right);
        },
        [](QPainter& p) {
            Page(p);
            p.setPen(Pen(QColor(200, 90, 20), 0.8));
            for (int i = 0; i < 4; ++i) {
                p.drawLine(QPointF(4.5 + i * 2.5, 6), QPointF(4.5 + i * 2.5, 14));
                p.drawLine(QPointF(4.5, 6 + i * 2.6), QPointF(12, 6 + i * 2.6));
            }
            p.drawLine(QPointF(4.5, 6), QPointF(12, 14));
        },
        [](QPainter& p) {
            Page(p);
            TextLines(p, 5, 11.5, 9, 3);
            p.setPen(Pen(QColor(30, 80, 170), 1.2));
            p.drawLine(QPointF(4.5, 4.5), QPointF(5.7, 7.5));
            p.drawLine(QPointF(5.7, 7.5), QPointF(6.8, 5.2));
            p.drawLine(QPointF(6.8, 5.2), QPointF(7.9, 7.5));
            p.drawLine(QPointF(7.9, 7.5), QPointF(9.1, 4.5));
        },
    };
}

QImage ProgressSkin()
{
    QImage skin(127, 32, QImage::Format_RGB32);
    skin.fill(QColor(236, 233, 216));
    QPainter p(&skin);
    // Upper half: the frame and the trough.
    p.setPen(QColor(122, 138, 153));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(0.5, 0.5, 126, 15), 2.5, 2.5);
    p.setPen(QColor(214, 222, 230));
    p.drawLine(2, 2, 124, 2);
    // Lower half: one cell, green with a light top, at (3, 19) 8 x 10.
    QLinearGradient g(0, 19, 0, 29);
    g.setColorAt(0, QColor(190, 240, 170));
    g.setColorAt(0.45, QColor(70, 200, 60));
    g.setColorAt(1, QColor(40, 160, 40));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRect(QRect(4, 19, 6, 10));
    return skin;
}

QImage ButtonSkin()
{
    const QColor key(255, 0, 0);
    QImage skin(365, 19, QImage::Format_RGB32);
    skin.fill(key);
    struct Look {
        QColor top, bottom, border;
    };
    const Look looks[5] = {
        {QColor(255, 255, 255), QColor(214, 208, 197), QColor(0, 60, 116)},     // normal
        {QColor(209, 204, 193), QColor(235, 233, 225), QColor(0, 60, 116)},     // pressed
        {QColor(255, 250, 235), QColor(240, 200, 120), QColor(230, 140, 0)},    // hover
        {QColor(255, 255, 255), QColor(200, 215, 240), QColor(50, 100, 210)},   // focused
        {QColor(245, 244, 234), QColor(245, 244, 234), QColor(201, 199, 186)},  // disabled
    };
    for (int i = 0; i < 5; ++i) {
        const Look& look = looks[i];
        const Draw draw = [&look](QPainter& p) {
            QLinearGradient g(0, 1, 0, 18);
            g.setColorAt(0, look.top);
            g.setColorAt(1, look.bottom);
            p.setPen(QPen(look.border, 1));
            p.setBrush(g);
            p.drawRoundedRect(QRectF(0.5, 0.5, 72, 18), 3, 3);
        };
        QPainter(&skin).drawImage(i * 73, 0,
                                  Render(
                                      73, 19, 73,
                                      [&](QPainter& p) {
                                          p.resetTransform();
                                          draw(p);
                                      },
                                      key));
    }
    return skin;
}

void AppIcon(QPainter& p)
{
    // A pack: a box of stacked layers with a band around it.
    QLinearGradient body(0, 3, 0, 15);
    body.setColorAt(0, QColor(80, 150, 230));
    body.setColorAt(1, QColor(25, 75, 160));
    p.setPen(Pen(QColor(15, 45, 110), 0.6));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(1.2, 3.5, 13.6, 11.3), 1.8, 1.8);
    p.setBrush(QColor(250, 200, 60));
    p.drawRoundedRect(QRectF(3, 1.2, 10, 4.2), 1.2, 1.2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawRect(QRectF(7, 6, 2, 7.5));
    p.drawRect(QRectF(4.2, 6, 7.6, 1.8));
}

bool Save(const QImage& image, const QString& path)
{
    if (image.save(path)) return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QColor grey(192, 192, 192), magenta(255, 0, 255);
    bool ok = Save(Strip(ToolbarCells(), 16, 15, 16, grey), out.filePath("toolbar.png"));
    ok = Save(Strip(MenuCells(), 16, 15, 16, grey), out.filePath("menuicons.png")) && ok;
    ok = Save(Strip({[](QPainter& p) { Folder(p, false); }, [](QPainter& p) { Folder(p, true); }}, 16, 16, 16, magenta),
              out.filePath("folders.png")) &&
         ok;
    ok = Save(Strip(FileKindCells(), 16, 16, 16, magenta), out.filePath("filekinds16.png")) && ok;
    ok = Save(Strip(FileKindCells(), 32, 32, 16, magenta), out.filePath("filekinds32.png")) && ok;
    ok = Save(ProgressSkin(), out.filePath("progress.png")) && ok;
    ok = Save(ButtonSkin(), out.filePath("button.png")) && ok;
    for (int size : {16, 32, 48, 256}) {
        QImage icon(size, size, QImage::Format_ARGB32);
        icon.fill(Qt::transparent);
        QPainter p(&icon);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        AppIcon(p);
        p.end();
        ok = Save(icon, out.filePath(QStringLiteral("tarvex%1.png").arg(size))) && ok;
    }
    return ok ? 0 : 1;
}
