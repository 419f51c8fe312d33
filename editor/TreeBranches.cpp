#include "editor/TreeBranches.h"

#include <QPainter>
#include <QRect>

namespace tarvex {
namespace {

// Dots on every other pixel, by the pixel's position in the view, so that
// the lines of neighbouring rows join without a seam.
bool OnDot(int x, int y)
{
    return ((x + y) & 1) == 0;
}

void DottedVertical(QPainter& painter, int x, int top, int bottom)
{
    for (int y = top; y <= bottom; ++y)
        if (OnDot(x, y)) painter.drawPoint(x, y);
}

void DottedHorizontal(QPainter& painter, int left, int right, int y)
{
    for (int x = left; x <= right; ++x)
        if (OnDot(x, y)) painter.drawPoint(x, y);
}

// The 9 x 9 button: a framed white box with a minus, and a plus while the
// folder is closed.
void PaintButton(QPainter& painter, int cx, int cy, bool expanded)
{
    const QRect box(cx - 4, cy - 4, 9, 9);
    painter.fillRect(box, Qt::white);
    painter.setPen(QColor(kTreeLineColour));
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.setPen(Qt::black);
    painter.drawLine(cx - 2, cy, cx + 2, cy);
    if (!expanded) painter.drawLine(cx, cy - 2, cx, cy + 2);
}

}  // namespace

void PaintBranches(QPainter& painter, const QRect& area, int indentation, const BranchRow& row)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QColor(kTreeLineColour));
    const int own = area.right() + 1 - indentation;
    const int cy = area.top() + area.height() / 2;
    const auto centre = [indentation](int left) { return left + indentation / 2; };

    const int depth = static_cast<int>(row.passing.size());
    for (int i = 0; i < depth; ++i)
        if (row.passing[static_cast<size_t>(i)])
            DottedVertical(painter, centre(own - (depth - i) * indentation), area.top(), area.bottom());

    const int cx = centre(own);
    if (row.lineAbove) DottedVertical(painter, cx, area.top(), cy);
    if (row.lineBelow) DottedVertical(painter, cx, cy, area.bottom());
    DottedHorizontal(painter, cx, own + indentation - 1, cy);
    if (row.hasChildren) PaintButton(painter, cx, cy, row.expanded);
    painter.restore();
}

}  // namespace tarvex
