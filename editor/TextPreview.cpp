#include "editor/TextPreview.h"

#include <QFontDatabase>
#include <QPainter>
#include <QTextBlock>

namespace tarvex {
namespace {

class LineNumberMargin final : public QWidget {
public:
    explicit LineNumberMargin(TextPreview& text) : QWidget(&text), text_(text) {}
    QSize sizeHint() const override { return {text_.MarginWidth(), 0}; }

protected:
    void paintEvent(QPaintEvent* event) override { text_.PaintMargin(event); }

private:
    TextPreview& text_;
};

}  // namespace

TextPreview::TextPreview(QWidget* parent) : QPlainTextEdit(parent), margin_(new LineNumberMargin(*this))
{
    setObjectName(QStringLiteral("textPreview"));
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    connect(this, &QPlainTextEdit::blockCountChanged, this, &TextPreview::PlaceMargin);
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
        if (dy != 0) {
            margin_->scroll(0, dy);
        } else {
            margin_->update(0, rect.y(), margin_->width(), rect.height());
        }
    });
    PlaceMargin();
}

void TextPreview::SetText(const QString& text)
{
    setPlainText(text);
    PlaceMargin();
}

int TextPreview::MarginWidth() const
{
    const int digits = QString::number(std::max(1, blockCount())).size();
    return 8 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * digits;
}

void TextPreview::PlaceMargin()
{
    setViewportMargins(MarginWidth(), 0, 0, 0);
    const QRect area = contentsRect();
    margin_->setGeometry(area.left(), area.top(), MarginWidth(), area.height());
}

void TextPreview::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    PlaceMargin();
}

void TextPreview::PaintMargin(QPaintEvent* event)
{
    QPainter painter(margin_);
    painter.fillRect(event->rect(), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    while (block.isValid() && top <= event->rect().bottom()) {
        const int bottom = top + qRound(blockBoundingRect(block).height());
        if (block.isVisible() && bottom >= event->rect().top())
            painter.drawText(0, top, margin_->width() - 4, fontMetrics().height(), Qt::AlignRight,
                             QString::number(block.blockNumber() + 1));
        block = block.next();
        top = bottom;
    }
}

}  // namespace tarvex
