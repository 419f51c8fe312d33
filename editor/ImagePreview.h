#pragma once
// A picture scaled to fit the widget, centred.
#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace tarvex {

class ImagePreview final : public QWidget {
    Q_OBJECT
public:
    explicit ImagePreview(QWidget* parent = nullptr);
    void SetImage(QImage image);
    const QImage& Image() const { return image_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage image_;
    QPixmap scaled_;
};

}  // namespace tarvex
