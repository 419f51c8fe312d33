// Cutting every file of one folder and pasting them into a new, empty
// folder, the paste timed until the window shows the pasted files.
#include <QElapsedTimer>
#include <cstdio>

#include "base/GbkText.h"
#include "bench/gui/GuiBench.h"
#include "catalogue/PackPaths.h"
#include "editor/CLeftView.h"
#include "editor/CTarvexDoc.h"
#include "editor/CTarvexView.h"
#include "ui/CommandIds.h"

namespace tarvex::bench {

int PasteFolderFiles(CTarvexApp& app, const std::string& pack, const std::string& folderPath)
{
    CMainFrame& frame = app.MainFrame();
    if (!app.OpenDocumentFile(pack)) return 1;
    Catalogue& catalogue = app.Document().GetCatalogue();
    Folder* folder = FolderAtPath(catalogue, folderPath, false);
    if (!folder) {
        std::fprintf(stderr, "no folder %s in the pack\n", folderPath.c_str());
        return 1;
    }
    CLeftView& tree = frame.LeftView();
    CTarvexView& list = *frame.RightPane();
    tree.SelectFolder(*folder);
    list.SelectAll();
    list.CopyToClipboard(false);
    Folder* target = tree.InsertFolder(Utf8ToGbkLossy("pasted"), -1, &catalogue.Root());
    if (!target) return 1;
    tree.SelectFolder(*target);
    Paint(frame);

    QElapsedTimer clock;
    clock.start();
    app.Router().Execute(cmd::kEditPaste);
    Paint(frame);
    const double paste = clock.nsecsElapsed() / 1e9;
    std::printf("paste_s %.6f\nrows %d\n", paste, list.Model().rowCount());
    return 0;
}

}  // namespace tarvex::bench
