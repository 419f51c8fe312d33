#pragma once
// Text shown read-only with the number of each line in a margin on its left.
#include <QPlainTextEdit>

namespace tarvex {

class TextPreview final : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TextPreview(QWidget* parent = nullptr);

    void SetText(const QString& text);
    // The margin's width in pixels: room for the largest line number.
    int MarginWidth() const;
    // Paints the numbers of the lines in view into the margin.
    void PaintMargin(QPaintEvent* event);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlaceMargin();

    QWidget* margin_;
};

}  // namespace tarvex
