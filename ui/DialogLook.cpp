#include "ui/DialogLook.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPalette>
#include <QWidget>

namespace tarvex {

QFont DialogFont()
{
    QFont font(QStringLiteral("宋体"));
    font.setPointSize(9);
    return font;
}

void InstallDialogFont()
{
    QStringList cjk;
    for (const QString& family : QFontDatabase::families(QFontDatabase::SimplifiedChinese)) {
        if (family.contains(QLatin1String("WenQuanYi")) || family.contains(QLatin1String("CJK")) ||
            family.contains(QLatin1String("Noto Sans SC")) || family.contains(QLatin1String("AR PL")))
            cjk << family;
    }
    if (cjk.isEmpty()) cjk = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    QFont::insertSubstitutions(QStringLiteral("宋体"), cjk);
}

void ApplyDialogLook(QWidget& dialog)
{
    QPalette colours = dialog.palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        colours.setColor(group, QPalette::Window, kDialogFace);
        colours.setColor(group, QPalette::WindowText, Qt::black);
        colours.setColor(group, QPalette::Button, kDialogFace);
        colours.setColor(group, QPalette::ButtonText, Qt::black);
    }
    dialog.setPalette(colours);
}

}  // namespace tarvex
