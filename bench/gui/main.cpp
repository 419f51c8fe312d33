// The editor's benchmark program: the real main window, offscreen, timed on
// a big pack.
//
//   tarvex-gui-bench PACK FOLDER [report|icon|smallicon|list]
//       opens PACK (read, folder tree and file list built, window painted),
//       then shows FOLDER's files in the list style given (default report);
//       prints "open_s", "show_s" and "rows".
//   tarvex-gui-bench --save-after-edit PACK [--sync]
//       opens PACK, renames its first file as the file list does, and saves
//       the pack over itself without a password (then syncs the disk when
//       asked); prints "open_s", "save_s", "rows" and "renamed NEW-NAME".
//
// Exits 1 when the pack cannot be opened, the folder is not in it or the
// edit or the save fails; 2 on bad usage.
#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/LargeBlocks.h"
#include "bench/gui/GuiBench.h"
#include "editor/CTarvexDoc.h"
#include "editor/CTarvexView.h"

namespace {

using tarvex::CTarvexView;

constexpr const char* kUsage =
    "usage: tarvex-gui-bench PACK FOLDER [report|icon|smallicon|list]\n"
    "       tarvex-gui-bench --save-after-edit PACK [--sync]\n";

bool ParseStyle(const std::string& name, CTarvexView::Style& style)
{
    if (name == "report") style = CTarvexView::kReport;
    else if (name == "icon") style = CTarvexView::kIcon;
    else if (name == "smallicon") style = CTarvexView::kSmallIcon;
    else if (name == "list") style = CTarvexView::kList;
    else return false;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    tarvex::KeepLargeBlocksMapped();
    const bool saveMode = argc >= 2 && std::strcmp(argv[1], "--save-after-edit") == 0;
    const bool syncAfterSave = saveMode && argc == 4 && std::strcmp(argv[3], "--sync") == 0;
    const bool usageFits = saveMode ? argc == 3 || syncAfterSave : argc == 3 || argc == 4;
    CTarvexView::Style style = CTarvexView::kReport;
    if (!usageFits) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!saveMode && argc == 4 && !ParseStyle(argv[3], style)) {
        std::fprintf(stderr, "unknown list style: %s\n", argv[3]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The editor keeps its recent-file list in the user's settings: a
    // measurement must not add to it.
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());

    QApplication qt(argc, argv);
    tarvex::bench::ConsolePrompt prompt;
    tarvex::bench::NoChoices choices;
    tarvex::CTarvexApp app(&prompt, &choices);
    if (!app.InitInstance({})) return 1;
    tarvex::CMainFrame& frame = app.MainFrame();
    frame.resize(1024, 768);
    frame.RightPane()->SetViewStyle(style);
    tarvex::bench::Paint(frame);

    const int status = saveMode ? tarvex::bench::SaveAfterEdit(app, argv[2], syncAfterSave)
                                : tarvex::bench::OpenAndShowFolder(app, argv[1], argv[2]);
    // Nothing is left to ask about when the window closes.
    app.Document().SetModifiedFlag(false);
    return status;
}
