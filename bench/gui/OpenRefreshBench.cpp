// Times the editor on a big pack without a display: opening the pack (read,
// folder tree and file list built, the window painted) and showing one
// folder's files in the list (selected in the tree, rows built, painted).
//
//   tarvex-gui-bench PACK FOLDER [VIEW]
//
// VIEW is the list style: report (default), icon, smallicon or list. Prints
// "open_s", "show_s" and "rows" lines for bench/run; exits 1 when the pack
// cannot be opened or the folder is not in it.
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <string>

#include "archive/Catalogue.h"
#include "archive/PackPaths.h"
#include "archive/Prompt.h"
#include "editor/CLeftView.h"
#include "editor/CTarvexDoc.h"
#include "editor/CTarvexView.h"
#include "shell/CMainFrame.h"
#include "shell/CTarvexApp.h"

namespace {

using tarvex::CTarvexView;

// Messages go to stderr; questions are answered No, passwords not given.
class ConsolePrompt final : public tarvex::IPrompt {
public:
    tarvex::MsgAnswer Message(std::string_view text, tarvex::MsgIcon, tarvex::MsgButtons buttons) override
    {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
        return buttons == tarvex::MsgButtons::Ok ? tarvex::MsgAnswer::Ok : tarvex::MsgAnswer::No;
    }
    std::optional<tarvex::PasswordBlocks> AskPassword(tarvex::PasswordMode) override { return std::nullopt; }
    void ProgressBegin(uint32_t) override {}
    void ProgressText(std::string_view) override {}
    void ProgressStep() override {}
    void ProgressEnd() override {}
};

bool ParseStyle(const std::string& name, CTarvexView::Style& style)
{
    if (name == "report") style = CTarvexView::kReport;
    else if (name == "icon") style = CTarvexView::kIcon;
    else if (name == "smallicon") style = CTarvexView::kSmallIcon;
    else if (name == "list") style = CTarvexView::kList;
    else return false;
    return true;
}

// Lets every queued event run and paints the whole window, as a screen would.
void Paint(tarvex::CMainFrame& frame)
{
    QApplication::processEvents();
    frame.grab();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: tarvex-gui-bench PACK FOLDER [report|icon|smallicon|list]\n");
        return 2;
    }
    CTarvexView::Style style = CTarvexView::kReport;
    if (argc == 4 && !ParseStyle(argv[3], style)) {
        std::fprintf(stderr, "unknown list style: %s\n", argv[3]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The editor keeps its recent-file list in the user's settings: a
    // measurement must not add to it.
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());

    QApplication app(argc, argv);
    ConsolePrompt prompt;
    tarvex::CTarvexApp tarvex(&prompt);
    if (!tarvex.InitInstance({})) return 1;
    tarvex::CMainFrame& frame = tarvex.MainFrame();
    frame.resize(1024, 768);
    frame.RightPane()->SetViewStyle(style);
    Paint(frame);

    QElapsedTimer clock;
    clock.start();
    if (!tarvex.OpenDocumentFile(argv[1])) return 1;
    Paint(frame);
    const double open = clock.nsecsElapsed() / 1e9;

    tarvex::Folder* folder = tarvex::FolderAtPath(tarvex.Document().GetCatalogue(), argv[2], false);
    if (!folder) {
        std::fprintf(stderr, "no folder %s in the pack\n", argv[2]);
        return 1;
    }
    clock.restart();
    frame.LeftView().SelectFolder(*folder);
    Paint(frame);
    const double show = clock.nsecsElapsed() / 1e9;

    std::printf("open_s %.6f\nshow_s %.6f\nrows %d\n", open, show, frame.RightPane()->Model().rowCount());
    tarvex.Document().SetModifiedFlag(false);
    return 0;
}
