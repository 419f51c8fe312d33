#pragma once
// The drawing pieces the editor's artwork is made of, in a 16 x 16 unit space,
// and the strips of toolbar, menu and file-kind icons drawn with them.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QString>
#include <functional>
#include <vector>

namespace tarvex::artwork {

using Draw = std::function<void(QPainter&)>;

QImage Render(int w, int h, double units, const Draw& draw, QColor key);
QImage Strip(const std::vector<Draw>& cells, int w, int h, double units, QColor key);
QPen Pen(QColor c, double w = 1.0);
void Page(QPainter& p, QColor fill = QColor(252, 252, 250));
void TextLines(QPainter& p, double x0, double x1, double y0, int count, QColor c = QColor(120, 135, 160));
void Folder(QPainter& p, bool open);
void Badge(QPainter& p, const QString& text, QColor bg, double size = 6.5);
void Floppy(QPainter& p);
void Scissors(QPainter& p);
void CopyPages(QPainter& p);
void Clipboard(QPainter& p);
void Printer(QPainter& p);
void Question(QPainter& p, QColor bg = QColor(40, 110, 200), const QString& mark = QStringLiteral("?"));
void Squares(QPainter& p, int n, double size);
void ListLines(QPainter& p, bool details);
void Arrow(QPainter& p, bool redo);
void Windows(QPainter& p, int kind);
void Exit(QPainter& p);
void Magnifier(QPainter& p);
void NewPage(QPainter& p);
std::vector<Draw> ToolbarCells();
std::vector<Draw> MenuCells();
std::vector<Draw> FileKindCells();

}  // namespace tarvex::artwork
