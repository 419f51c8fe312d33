// The cells of the toolbar, menu and file-kind strips.
#include "ui/artwork/ArtPieces.h"

#include <QLinearGradient>
#include <QPainterPath>

namespace tarvex::artwork {

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

}  // namespace tarvex::artwork
