// The editor's benchmark program: the real main window, offscreen, timed on
// a big pack.
//
//   tarvex-gui-bench PACK FOLDER [report|icon|smallicon|list]
//       opens PACK (read, folder tree and file list built, window painted),
//       then shows FOLDER's files in the list style given (default report);
//       prints "open_s", "show_s" and "rows".
//   tarvex-gui-bench --save-after-edit PACK [--sync] [--progress-window]
//       opens PACK, renames its first file as the file list does, and saves
//       the pack over itself without a password (then syncs the disk when
//       asked); prints "open_s", "save_s", "rows" and "renamed NEW-NAME".
//   tarvex-gui-bench --extract PACK FOLDER DEST [--sync] [--progress-window]
//       opens PACK, selects every file FOLDER shows and extracts them into
//       DEST (an existing folder), then syncs the disk when asked; prints
//       "extract_s" and "files".
//   tarvex-gui-bench --paste PACK FOLDER
//       opens PACK, cuts every file FOLDER shows and pastes them into a new,
//       empty folder; prints "paste_s" and "rows" (the files it then shows).
//
// Save and extraction report their progress nowhere, unless
// --progress-window asks for the editor's real progress window.
//
// Exits 1 when the pack cannot be opened, the folder is not in it or the
// edit or the save fails; 2 on bad usage.
#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/LargeBlocks.h"
#include "bench/gui/GuiBench.h"
#include "editor/CTarvexDoc.h"
#include "editor/CTarvexView.h"

namespace {

using tarvex::CTarvexView;

constexpr const char* kUsage =
    "usage: tarvex-gui-bench PACK FOLDER [report|icon|smallicon|list]\n"
    "       tarvex-gui-bench --save-after-edit PACK [--sync] [--progress-window]\n"
    "       tarvex-gui-bench --extract PACK FOLDER DEST [--sync] [--progress-window]\n"
    "       tarvex-gui-bench --paste PACK FOLDER\n";

bool ParseStyle(const std::string& name, CTarvexView::Style& style)
{
    if (name == "report") style = CTarvexView::kReport;
    else if (name == "icon") style = CTarvexView::kIcon;
    else if (name == "smallicon") style = CTarvexView::kSmallIcon;
    else if (name == "list") style = CTarvexView::kList;
    else return false;
    return true;
}

// What the command line asks for.
struct Request {
    std::string mode;  // "" (open and show), "--save-after-edit", "--extract" or "--paste"
    std::vector<std::string> operands;
    bool sync = false;
    bool progressWindow = false;
    CTarvexView::Style style = CTarvexView::kReport;
};

bool Parse(int argc, char** argv, Request& request)
{
    int first = 1;
    if (argc >= 2 && std::strncmp(argv[1], "--", 2) == 0) {
        request.mode = argv[1];
        first = 2;
    }
    for (int i = first; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--sync" && (request.mode == "--save-after-edit" || request.mode == "--extract")) {
            request.sync = true;
        } else if (word == "--progress-window" && (request.mode == "--save-after-edit" || request.mode == "--extract")) {
            request.progressWindow = true;
        } else if (word.rfind("--", 0) == 0) {
            return false;
        } else {
            request.operands.push_back(word);
        }
    }
    const size_t count = request.operands.size();
    if (request.mode.empty()) {
        if (count == 3 && !ParseStyle(request.operands[2], request.style)) {
            std::fprintf(stderr, "unknown list style: %s\n", request.operands[2].c_str());
            return false;
        }
        return count == 2 || count == 3;
    }
    if (request.mode == "--save-after-edit") return count == 1;
    if (request.mode == "--extract") return count == 3;
    if (request.mode == "--paste") return count == 2;
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    tarvex::KeepLargeBlocksMapped();
    Request request;
    if (!Parse(argc, argv, request)) {
        std::fputs(kUsage, stderr);
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
    if (request.progressWindow) prompt.progressWindow = &app.QtPrompts();
    tarvex::CMainFrame& frame = app.MainFrame();
    frame.resize(1024, 768);
    frame.RightPane()->SetViewStyle(request.style);
    tarvex::bench::Paint(frame);

    const std::vector<std::string>& operand = request.operands;
    int status = 0;
    if (request.mode == "--save-after-edit") {
        status = tarvex::bench::SaveAfterEdit(app, operand[0], request.sync);
    } else if (request.mode == "--extract") {
        choices.targetFolder = operand[2];
        status = tarvex::bench::ExtractFolderFiles(app, operand[0], operand[1], request.sync);
    } else if (request.mode == "--paste") {
        status = tarvex::bench::PasteFolderFiles(app, operand[0], operand[1]);
    } else {
        status = tarvex::bench::OpenAndShowFolder(app, operand[0], operand[1]);
    }
    // Nothing is left to ask about when the window closes.
    app.Document().SetModifiedFlag(false);
    return status;
}
