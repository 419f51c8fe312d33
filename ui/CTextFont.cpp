#include "ui/CTextFont.h"

namespace tarvex {

CTextFont::CTextFont(const QString& face) : font_(face)
{
    font_.setPixelSize(12);
    font_.setWeight(QFont::Normal);
    font_.setItalic(false);
    font_.setUnderline(false);
    font_.setStrikeOut(false);
    font_.setStyleHint(QFont::Serif, QFont::PreferQuality);
    font_.setFixedPitch(false);
}

}  // namespace tarvex
