#include "shell/DialogLook.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPalette>

namespace tarvex {

QFont DialogFont()
{
    QFont font(QStringLiteral("宋体"));
    font.setPointSize(9);
    return font;
}

void InstallDialogLook(QApplication& app)
{
    QStringList cjk;
    for (const QString& family : QFontDatabase::families(QFontDatabase::SimplifiedChinese)) {
        if (family.contains(QLatin1String("WenQuanYi")) || family.contains(QLatin1String("CJK")) ||
            family.contains(QLatin1String("Noto Sans SC")) || family.contains(QLatin1String("AR PL")))
            cjk << family;
    }
    if (cjk.isEmpty()) cjk = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    QFont::insertSubstitutions(QStringLiteral("宋体"), cjk);

    QPalette dialogs = app.palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        dialogs.setColor(group, QPalette::Window, kDialogFace);
        dialogs.setColor(group, QPalette::WindowText, Qt::black);
        dialogs.setColor(group, QPalette::Button, kDialogFace);
        dialogs.setColor(group, QPalette::ButtonText, Qt::black);
    }
    // QMessageBox and QFileDialog derive from QDialog, so this reaches them too.
    QApplication::setPalette(dialogs, "QDialog");
}

}  // namespace tarvex
