#pragma once
// Bytes shown as a hex dump: an offset, sixteen bytes in hex and the same
// bytes as characters per line. Only the lines in view are painted, so a
// view of many megabytes costs no more than one of a page.
#include <QAbstractScrollArea>
#include <QByteArray>

namespace tarvex {

class HexView final : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit HexView(QWidget* parent = nullptr);

    void SetBytes(QByteArray bytes);
    qsizetype LineCount() const { return (bytes_.size() + kBytesPerLine - 1) / kBytesPerLine; }
    // The text of line `line`, as painted.
    QString LineText(qsizetype line) const;

    static constexpr int kBytesPerLine = 16;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void UpdateScrollBars();
    int LineHeight() const;

    QByteArray bytes_;
};

}  // namespace tarvex
