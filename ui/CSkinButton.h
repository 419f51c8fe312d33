#pragma once
// A push button painted from a bitmap skin holding five state pictures side
// by side (normal, pressed, hover, focused, disabled), each nine-slice scaled
// to the button once. Skin pixels of the transparent colour let the button
// face show through.
#include <QPixmap>
#include <QPushButton>
#include <array>

#include "ui/CTextFont.h"

namespace tarvex {

class CSkinButton final : public QPushButton {
    Q_OBJECT
public:
    enum Picture { kNormal = 0, kPressed = 1, kHover = 2, kFocused = 3, kDisabled = 4 };

    explicit CSkinButton(const QString& text, QWidget* parent = nullptr);

    bool SetSkin(int bitmapId, int top, int bottom, int left, int right, bool showFocus);
    bool SkinReady() const { return skinReady_; }
    bool Hover() const { return hover_; }
    // The state picture the next repaint uses.
    Picture CurrentPicture() const;
    const QPixmap& PictureAt(Picture p) const { return pictures_[p]; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool skinReady_ = false;
    int skinId_ = 0;
    std::array<QPixmap, 5> pictures_;
    bool hover_ = false;
    bool showFocus_ = false;
    int top_ = 8, bottom_ = 8, left_ = 8, right_ = 17;
    int cellWidth_ = 0, cellHeight_ = 0;
    QColor transparent_{255, 0, 0};
    CTextFont textFont_{QStringLiteral("宋体")};
};

}  // namespace tarvex
