// The file list's ways of looking at files without extracting them: the
// quick look of the current row (Space) and the find window (F3).
#include "editor/CLeftView.h"
#include "editor/CTarvexDoc.h"
#include "editor/CTarvexView.h"
#include "editor/FindFilesWindow.h"
#include "editor/QuickLookWindow.h"

#include <QAbstractItemView>
#include <QLineEdit>

namespace tarvex {

QuickLookWindow* CTarvexView::QuickLook() const
{
    return quickLook_;
}

FindFilesWindow* CTarvexView::FindWindow() const
{
    return find_;
}

void CTarvexView::ToggleQuickLook()
{
    if (quickLook_ && quickLook_->isVisible()) {
        quickLook_->hide();
        return;
    }
    const QModelIndex current = CurrentView().currentIndex();
    if (!current.isValid() || model_->Row(current.row()).isFolder) return;
    if (!quickLook_) {
        quickLook_ = new QuickLookWindow(doc_, window());
        quickLook_->move(window()->geometry().center() - quickLook_->rect().center());
    }
    LookAtCurrentRow();
}

void CTarvexView::QuickLookFollows()
{
    if (quickLook_ && quickLook_->isVisible()) LookAtCurrentRow();
}

void CTarvexView::LookAtCurrentRow()
{
    const QModelIndex current = CurrentView().currentIndex();
    if (!current.isValid()) return;
    const ListRow& row = model_->Row(current.row());
    if (!row.isFolder) {
        quickLook_->ShowEntry(row.ref);
    } else if (const Folder* folder = doc_.GetCatalogue().FolderByHandle(row.ref)) {
        quickLook_->ShowFolder(*folder);
    }
}

void CTarvexView::ShowFindWindow()
{
    if (!find_) {
        find_ = new FindFilesWindow(doc_.GetCatalogue(), window());
        connect(find_, &FindFilesWindow::fileChosen, this, &CTarvexView::ShowFile);
    } else {
        find_->FindAgain();
    }
    find_->show();
    find_->raise();
    find_->activateWindow();
    find_->Pattern().setFocus();
    find_->Pattern().selectAll();
}

void CTarvexView::FindAgain()
{
    if (find_) find_->FindAgain();
}

void CTarvexView::ShowFile(size_t index)
{
    const Catalogue& catalogue = doc_.GetCatalogue();
    CLeftView* tree = doc_.TreeView();
    if (!tree || index >= catalogue.Entries().size()) return;
    const Folder* folder = catalogue.FolderById(catalogue.Entries()[index].folderId);
    tree->SelectFolder(folder ? *folder : catalogue.Root());
    // The folder may have been the current one already: its list is shown afresh.
    if (model_->RowOf(false, static_cast<uint32_t>(index)) < 0) RefreshList();
    const int row = model_->RowOf(false, static_cast<uint32_t>(index));
    if (row < 0) return;
    SelectRow(row);
    CurrentView().scrollTo(model_->index(row, 0));
    window()->raise();
    window()->activateWindow();
    CurrentView().setFocus();
}

}  // namespace tarvex
