#include "ui/CFlatEdit.h"

#include <QPainter>

namespace tarvex {

CFlatEdit::CFlatEdit(QWidget* parent) : QLineEdit(parent)
{
    setFrame(false);
    setFont(textFont_.Font());
    QPalette colours = palette();
    colours.setColor(QPalette::Base, kFill);
    colours.setColor(QPalette::Text, textFont_.TextColour());
    setPalette(colours);
}

void CFlatEdit::paintEvent(QPaintEvent* event)
{
    QLineEdit::paintEvent(event);
    QPainter p(this);
    p.setClipRect(rect());
    // Frames are drawn with exclusive right and bottom edges. Moving the top,
    // left and right edges 4 pixels out leaves only the bottom line of the
    // first frame inside the client area.
    const auto frame = [&p](QRect r, QColor colour) {
        p.setPen(colour);
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0, 0, -1, -1));
    };
    QRect r = rect().adjusted(-4, -4, 4, 0);
    frame(r, kBorder);
    for (int i = 0; i < 4; ++i) {
        r.adjust(1, 1, -1, -1);
        frame(r, kFill);
    }
}

}  // namespace tarvex
