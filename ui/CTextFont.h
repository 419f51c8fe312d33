#pragma once
// A font that carries its text colour: 12-pixel characters, normal weight,
// variable pitch, roman family, proof quality, in the face its creator names.
#include <QColor>
#include <QFont>
#include <QString>

namespace tarvex {

class CTextFont {
public:
    explicit CTextFont(const QString& face);

    const QFont& Font() const { return font_; }
    QColor TextColour() const { return colour_; }
    void SetTextColour(QColor colour) { colour_ = colour; }

private:
    QFont font_;
    QColor colour_ = Qt::black;
};

}  // namespace tarvex
