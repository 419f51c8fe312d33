#include "editor/HexView.h"

#include <QFontDatabase>
#include <QPainter>
#include <QScrollBar>

namespace tarvex {

HexView::HexView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("hexView"));
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
}

void HexView::SetBytes(QByteArray bytes)
{
    bytes_ = std::move(bytes);
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    UpdateScrollBars();
    viewport()->update();
}

QString HexView::LineText(qsizetype line) const
{
    const qsizetype start = line * kBytesPerLine;
    const qsizetype count = std::min<qsizetype>(kBytesPerLine, bytes_.size() - start);
    QString text = QStringLiteral("%1  ").arg(start, 8, 16, QLatin1Char('0')).toUpper();
    QString chars;
    for (qsizetype i = 0; i < kBytesPerLine; ++i) {
        if (i < count) {
            const auto b = static_cast<uint8_t>(bytes_[start + i]);
            text += QStringLiteral("%1 ").arg(b, 2, 16, QLatin1Char('0')).toUpper();
            chars += b >= 0x20 && b < 0x7F ? QChar(b) : QLatin1Char('.');
        } else {
            text += QStringLiteral("   ");
        }
        if (i == kBytesPerLine / 2 - 1) text += QLatin1Char(' ');
    }
    return text + QLatin1Char(' ') + chars;
}

int HexView::LineHeight() const
{
    return fontMetrics().height();
}

void HexView::UpdateScrollBars()
{
    const int visible = std::max(1, viewport()->height() / LineHeight());
    const qsizetype lines = LineCount();
    verticalScrollBar()->setRange(0, static_cast<int>(std::max<qsizetype>(0, lines - visible)));
    verticalScrollBar()->setPageStep(visible);
    const int width = fontMetrics().horizontalAdvance(LineText(0)) + 8;
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void HexView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void HexView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.setFont(font());
    const int height = LineHeight();
    const int ascent = fontMetrics().ascent();
    const qsizetype first = verticalScrollBar()->value();
    const int x = 4 - horizontalScrollBar()->value();
    for (qsizetype line = first, y = 0; line < LineCount() && y < viewport()->height(); ++line, y += height)
        painter.drawText(x, static_cast<int>(y) + ascent, LineText(line));
}

}  // namespace tarvex
