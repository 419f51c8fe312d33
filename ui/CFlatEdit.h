#pragma once
// An edit field without the sunken border: white, drawn with a single line
// in the border colour along its bottom edge.
#include <QLineEdit>

#include "ui/CTextFont.h"

namespace tarvex {

class CFlatEdit final : public QLineEdit {
    Q_OBJECT
public:
    explicit CFlatEdit(QWidget* parent = nullptr);

    static constexpr QColor kBorder{127, 157, 185};
    static constexpr QColor kFill{255, 255, 255};

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CTextFont textFont_{QStringLiteral("宋体")};
};

}  // namespace tarvex
