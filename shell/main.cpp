// Tarvex, the pack editor.
#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "shell/CTarvexApp.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvex"));
    QApplication::setApplicationVersion(QStringLiteral("1.00.03.0222"));
    // Qt's own dialogs (file dialogs) speak the program's language.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    tarvex::CTarvexApp tarvex;
    QStringList args = QApplication::arguments();
    args.removeFirst();
    if (!tarvex.InitInstance(args)) return 1;
    return QApplication::exec();
}
