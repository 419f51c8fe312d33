// Opening a pack in the editor and showing one folder's files, each timed
// until the window is painted.
#include <QElapsedTimer>
#include <cstdio>

#include "bench/gui/GuiBench.h"
#include "catalogue/Catalogue.h"
#include "catalogue/PackPaths.h"
#include "editor/CLeftView.h"
#include "editor/CTarvexDoc.h"
#include "editor/CTarvexView.h"

namespace tarvex::bench {

int OpenAndShowFolder(CTarvexApp& app, const std::string& pack, const std::string& folderPath)
{
    CMainFrame& frame = app.MainFrame();
    QElapsedTimer clock;
    clock.start();
    if (!app.OpenDocumentFile(pack)) return 1;
    Paint(frame);
    const double open = clock.nsecsElapsed() / 1e9;

    Folder* folder = FolderAtPath(app.Document().GetCatalogue(), folderPath, false);
    if (!folder) {
        std::fprintf(stderr, "no folder %s in the pack\n", folderPath.c_str());
        return 1;
    }
    clock.restart();
    frame.LeftView().SelectFolder(*folder);
    Paint(frame);
    const double show = clock.nsecsElapsed() / 1e9;

    std::printf("open_s %.6f\nshow_s %.6f\nrows %d\n", open, show, frame.RightPane()->Model().rowCount());
    return 0;
}

}  // namespace tarvex::bench
