#pragma once
// The branch area of one row of the folder tree, drawn as the classic tree
// control draws it: dotted lines joining every folder to its parent and to
// its siblings (the root's row included), and a plus or minus button on the
// folders that have sub-folders.
#include <QColor>
#include <vector>

class QPainter;
class QRect;

namespace tarvex {

inline constexpr QRgb kTreeLineColour = qRgb(128, 128, 128);

struct BranchRow {
    // One per column left of the row's own, outermost first: whether a line
    // passes down through it (the folder of that level has a later sibling).
    std::vector<bool> passing;
    bool lineAbove = false;  // a parent or an earlier sibling: the line comes from the top
    bool lineBelow = false;  // a later sibling: the line goes on to the bottom
    bool hasChildren = false;
    bool expanded = false;
};

// Paints a row's branch area: columns `indentation` wide, the row's own
// column rightmost, `passing.size()` columns left of it.
void PaintBranches(QPainter& painter, const QRect& area, int indentation, const BranchRow& row);

}  // namespace tarvex
