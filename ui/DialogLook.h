#pragma once
// What every dialog of the editor shares: the face colour, the conversion of
// dialog units (for the 9-point 宋体 dialog font: 6 by 12 pixel base units)
// and the fallback of "宋体" to an installed CJK font.
#include <QColor>
#include <QFont>
#include <QRect>

namespace tarvex {

inline constexpr QColor kDialogFace{236, 233, 216};

// Dialog units to pixels; both directions come to 1.5 pixels per unit.
constexpr int Dlu(int units)
{
    return units * 3 / 2;
}
constexpr QRect DluRect(int x, int y, int w, int h)
{
    return {Dlu(x), Dlu(y), Dlu(w), Dlu(h)};
}

// The dialogs' font: "宋体" 9 points, falling back to an installed CJK font.
QFont DialogFont();

// Lets "宋体" fall back to a CJK font this system has.
void InstallDialogFont();

// Gives a dialog or message box the face colour with black text. (A palette
// set for the QDialog class would miss them: a widget's palette is chosen
// while it is still being built as a plain widget.)
void ApplyDialogLook(QWidget& dialog);

}  // namespace tarvex
