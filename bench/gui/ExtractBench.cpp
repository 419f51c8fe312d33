// Extracting every file of one folder through the editor's extract command,
// timed until the window is painted again (and the disk synced, if asked).
#include <QElapsedTimer>
#include <cstdio>
#include <unistd.h>

#include "bench/gui/GuiBench.h"
#include "catalogue/PackPaths.h"
#include "editor/CLeftView.h"
#include "editor/CTarvexDoc.h"
#include "editor/CTarvexView.h"

namespace tarvex::bench {

int ExtractFolderFiles(CTarvexApp& app, const std::string& pack, const std::string& folderPath, bool syncAfter)
{
    CMainFrame& frame = app.MainFrame();
    if (!app.OpenDocumentFile(pack)) return 1;
    Folder* folder = FolderAtPath(app.Document().GetCatalogue(), folderPath, false);
    if (!folder) {
        std::fprintf(stderr, "no folder %s in the pack\n", folderPath.c_str());
        return 1;
    }
    frame.LeftView().SelectFolder(*folder);
    CTarvexView& list = *frame.RightPane();
    list.SelectAll();
    Paint(frame);
    const size_t files = list.SelectedRows().size();

    QElapsedTimer clock;
    clock.start();
    app.Document().ExtractSelection();
    Paint(frame);
    if (syncAfter) ::sync();
    const double extract = clock.nsecsElapsed() / 1e9;
    std::printf("extract_s %.6f\nfiles %zu\n", extract, files);
    return 0;
}

}  // namespace tarvex::bench
