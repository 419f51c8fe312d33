// The editor's save after one small edit: the first file of the pack is
// renamed through the catalogue operation the file list uses, then the Save
// command writes the pack over itself.
#include <QElapsedTimer>
#include <cstdio>
#include <unistd.h>

#include "base/GbkText.h"
#include "bench/gui/GuiBench.h"
#include "catalogue/CatalogueEdits.h"
#include "editor/CTarvexDoc.h"
#include "editor/CTarvexView.h"
#include "ui/CommandIds.h"

namespace tarvex::bench {

int SaveAfterEdit(CTarvexApp& app, const std::string& pack, bool syncAfterSave)
{
    CMainFrame& frame = app.MainFrame();
    CTarvexDoc& doc = app.Document();
    QElapsedTimer clock;
    clock.start();
    if (!app.OpenDocumentFile(pack)) return 1;
    Paint(frame);
    const double open = clock.nsecsElapsed() / 1e9;

    Catalogue& catalogue = doc.GetCatalogue();
    if (catalogue.Entries().empty()) {
        std::fprintf(stderr, "the pack holds no file to rename\n");
        return 1;
    }
    // A prefix keeps the name's extension, so the file keeps its kind.
    const std::string renamed = "renamed-" + GbkToUtf8Lossy(catalogue.Entries()[0].name);
    if (RenameFileEntry(catalogue, 0, renamed, doc.Prompt()) != EditResult::Done) return 1;
    doc.SetModifiedFlag();
    frame.RightPane()->RefreshList();
    Paint(frame);

    clock.restart();
    app.Router().Execute(cmd::kFileSave);
    Paint(frame);
    if (syncAfterSave) ::sync();
    const double save = clock.nsecsElapsed() / 1e9;
    if (doc.IsModified()) {
        std::fprintf(stderr, "the save failed\n");
        return 1;
    }
    std::printf("open_s %.6f\nsave_s %.6f\nrows %d\nrenamed %s\n", open, save, frame.RightPane()->Model().rowCount(),
                renamed.c_str());
    return 0;
}

}  // namespace tarvex::bench
