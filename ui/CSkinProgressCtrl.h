#pragma once
// A progress bar painted from a bitmap skin: the skin's upper half, nine-slice
// scaled, is the frame and trough; its lower half holds the picture of one
// cell, and the bar shows as many cells as the position covers. Range,
// position and step follow their own arithmetic (a step past the end wraps).
#include <QPixmap>
#include <QWidget>
#include <cstdint>

namespace tarvex {

class CSkinProgressCtrl final : public QWidget {
    Q_OBJECT
public:
    explicit CSkinProgressCtrl(QWidget* parent = nullptr);

    // Renders the skin for the current size; false when the bitmap cannot be
    // loaded or a corner does not fit.
    bool SetSkin(int bitmapId, int top, int bottom, int left, int right, int cellWidth, int cellSourceHeight);
    void SetRange(int lower, int upper);
    void SetPos(int pos);
    void SetStep(int step);
    void StepIt();
    // `times` steps at once, each as StepIt takes it, with one repaint.
    void StepIt(uint32_t times);

    int Lower() const { return lower_; }
    int Upper() const { return upper_; }
    int Pos() const { return pos_; }
    int Step() const { return step_; }
    int Span() const { return span_; }
    int CellCount() const { return cellCount_; }
    int CellHeight() const { return cellHeight_; }
    // How many cells a repaint draws at the current position.
    int CellsShown() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int lower_ = 0;
    int upper_ = 100;
    int step_ = 10;
    int pos_ = 0;
    int span_ = 100;
    int top_ = 0, bottom_ = 0, left_ = 0, right_ = 0;
    int skinId_ = 0;
    int skinWidth_ = 0;
    int skinHalfHeight_ = 0;
    int cellWidth_ = 0;
    int cellHeight_ = 0;
    int cellCount_ = 0;
    QPixmap background_;
    QPixmap cell_;
};

}  // namespace tarvex
