#pragma once
// The small captionless window that long operations show: a two-line text
// and a skinned bar that the operation steps item by item. It has no buttons
// and no message loop of its own; the working code keeps it painted.
#include <QDialog>

class QLabel;

namespace tarvex {

class CSkinProgressCtrl;

class CProgressDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CProgressDlg(QWidget* parent = nullptr);

    void SetText(const QString& text);
    QString Text() const;
    CSkinProgressCtrl& Bar() { return *bar_; }
    // Shows the window and paints it before the work goes on.
    void ShowNow();
    // Paints the window now, between two items of the work.
    void Repaint();

private:
    QLabel* text_;
    CSkinProgressCtrl* bar_;
};

}  // namespace tarvex
