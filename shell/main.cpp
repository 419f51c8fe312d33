// Tarvex, the pack editor.
#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>
#include <cstring>

#include "base/LargeBlocks.h"
#include "shell/CTarvexApp.h"

int main(int argc, char** argv)
{
    tarvex::KeepLargeBlocksMapped();
    // Answered before Qt starts, so that they work without a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("tarvex " TARVEX_VERSION "\n", stdout);
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs("用法：tarvex [文件包]\n"
                   "    打开文件包；不给出文件包时新建一个。\n"
                   "    --version  显示版本号\n"
                   "    --help     显示本说明\n",
                   stdout);
        return 0;
    }
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
