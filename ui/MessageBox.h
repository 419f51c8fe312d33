#pragma once
// The program's message box: caption "Tarvex", the dialog face, Chinese
// button texts, one of the icons and button sets of the whole program.
#include <QString>

#include "talk/Prompt.h"

class QWidget;

namespace tarvex {

inline constexpr const char* kAppTitle = "Tarvex";

MsgAnswer ShowMessage(QWidget* parent, const QString& text, MsgIcon icon, MsgButtons buttons);
// The same box with another caption (a plug-in's name over its own text).
MsgAnswer ShowMessage(QWidget* parent, const QString& caption, const QString& text, MsgIcon icon, MsgButtons buttons);

}  // namespace tarvex
