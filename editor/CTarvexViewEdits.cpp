// The file list's edits of names: a new folder, renames by the label editor,
// deletes.
#include "base/GbkText.h"
#include "catalogue/CatalogueEdits.h"
#include "editor/CLeftView.h"
#include "editor/CTarvexDoc.h"
#include "editor/CTarvexView.h"
#include "talk/Messages.h"
#include "ui/CommandTable.h"

namespace tarvex {
namespace {

constexpr const char* kDeleteFolderQuestion = "注意：删除这个目录将删除此目录下的所有信息！\n确定要删除吗？";

}  // namespace

bool CTarvexView::ListHasName(const std::string& gbkName, int skipRow, bool isFolder) const
{
    for (int row = 0; row < model_->RowCount(); ++row) {
        if (row == skipRow || model_->Row(row).isFolder != isFolder) continue;
        if (GbkEqualsIgnoreCase(model_->RowName(row), gbkName)) return true;
    }
    return false;
}

void CTarvexView::NewFolder()
{
    CLeftView* tree = doc_.TreeView();
    if (!tree) return;
    const std::string base = Utf8ToGbkLossy(StringResource(61204));
    std::string name = base;
    for (int n = 1; ListHasName(name, -1, true); ++n) name = base + "(" + std::to_string(n) + ")";

    Folder* folder = tree->InsertFolder(name, -1, nullptr);
    if (!folder) {
        doc_.Prompt().Tell(msg::kNewFolderFailed, MsgIcon::None);
        return;
    }
    model_->InsertFolderRow(folder->handle);
    SelectRow(0);
    StartRename(0);
}

void CTarvexView::StartRename(int row)
{
    if (row < 0 || row >= model_->RowCount()) return;
    const QModelIndex index = model_->index(row, 0);
    CurrentView().setFocus();
    CurrentView().scrollTo(index);
    CurrentView().edit(index);
}

void CTarvexView::RenameSelection()
{
    const std::vector<int> rows = SelectedRows();
    if (!rows.empty()) StartRename(rows.front());
}

void CTarvexView::RenameCurrentRow()
{
    // Whichever column was clicked, the edit is of the row's name.
    const QModelIndex current = CurrentView().currentIndex();
    if (current.isValid() && selection_->isRowSelected(current.row())) {
        StartRename(current.row());
    } else {
        RenameSelection();
    }
}

void CTarvexView::EndLabelEdit(ListRow item, const std::optional<QString>& typed)
{
    // The row may be gone (the list was rebuilt meanwhile): the item is
    // renamed all the same, only the editor cannot come back.
    const int row = model_->RowOf(item.isFolder, item.ref);
    IPrompt& prompt = doc_.Prompt();
    Catalogue& catalogue = doc_.GetCatalogue();
    Folder* folder = item.isFolder ? catalogue.FolderByHandle(item.ref) : nullptr;
    if (item.isFolder ? !folder : item.ref >= catalogue.Entries().size()) return;
    // A cancelled edit checks the name the row shows.
    if (!typed && row < 0) return;
    const std::string text = typed ? typed->toStdString() : model_->ShownName(row).toStdString();
    if (TrimmedName(text).empty()) {
        model_->ClearPendingName();
        return;
    }
    // The row shows the typed name at once, before it is checked.
    if (typed && row >= 0) model_->ShowPendingName(row, *typed);

    EditResult result = EditResult::Refused;
    if (!folder) {
        result = RenameFileEntry(catalogue, item.ref, text, prompt);
    } else {
        result = RenameFolderInList(*folder, text, prompt);
        if (result == EditResult::Done && doc_.TreeView()) doc_.TreeView()->FolderRenamed(*folder);
    }
    if (result == EditResult::Refused) {
        // The row keeps the name as typed and the editor comes back until
        // a name the item may carry is entered.
        if (row >= 0) StartRename(row);
        return;
    }
    model_->ClearPendingName();
    // An accepted edit marks the document, also when the name stays as it was.
    doc_.SetModifiedFlag();
    model_->TextsChanged();
}

void CTarvexView::FolderRenamed(const Folder&)
{
    model_->TextsChanged();
}

void CTarvexView::DeleteSelection()
{
    // Items are read before anything is removed: removing an entry moves the
    // last entry into its place, which changes other rows' indexes.
    const std::vector<ListRow> items = SelectedItems();
    IPrompt& prompt = doc_.Prompt();
    Catalogue& catalogue = doc_.GetCatalogue();
    std::vector<size_t> files;
    std::vector<uint32_t> folders;
    for (const ListRow& item : items) {
        if (!item.isFolder) {
            files.push_back(item.ref);
            continue;
        }
        // Only Yes removes the folder; No and Cancel spare it alike, and
        // the rows after it are dealt with all the same.
        if (prompt.Message(kDeleteFolderQuestion, MsgIcon::None, MsgButtons::YesNoCancel) == MsgAnswer::Yes)
            folders.push_back(item.ref);
    }
    // From the highest index down, each removal moves an entry that is not
    // among those still to go.
    std::sort(files.rbegin(), files.rend());
    for (size_t index : files) catalogue.RemoveEntry(index);
    for (uint32_t handle : folders) {
        Folder* folder = catalogue.FolderByHandle(handle);
        if (folder && doc_.TreeView()) doc_.TreeView()->RemoveFolderTree(*folder);
    }
    doc_.SetModifiedFlag();
    RefreshList();
}

}  // namespace tarvex
