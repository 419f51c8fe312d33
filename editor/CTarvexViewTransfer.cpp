// The file list's transfers: cut, copy and paste through the clipboard, and
// files dropped from the desktop.
#include <QDropEvent>
#include <QEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <unordered_set>

#include <sys/stat.h>

#include "base/GbkText.h"
#include "catalogue/CatalogueEdits.h"
#include "editor/CLeftView.h"
#include "editor/CTarvexDoc.h"
#include "editor/CTarvexView.h"
#include "talk/Messages.h"

namespace tarvex {
namespace {

constexpr const char* kNothingToPaste =
    "剪贴簿上的项目已经不在这个文件包里了（被删除，或者来自另一个正在运行的Tarvex），无法粘贴！";

}  // namespace

void CTarvexView::CopyToClipboard(bool copy)
{
    // The list's marks show its own last cut; the tree keeps its mark.
    model_->SetCutRows({});
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) return;
    if (!doc_.Clipboard().Put(SelectedItems(), copy, doc_.Prompt())) return;
    if (!copy) model_->SetCutRows(rows);
}

void CTarvexView::PasteFromClipboard()
{
    CLeftView* tree = doc_.TreeView();
    if (!tree) return;
    IPrompt& prompt = doc_.Prompt();
    const ClipboardTransfer& clipboard = doc_.Clipboard();
    const std::optional<std::vector<PastedItem>> items = clipboard.Take(prompt);
    if (!items) return;
    Catalogue& catalogue = doc_.GetCatalogue();
    Folder& target = tree->CurrentFolder();
    // The target's file names, looked up by every pasted file: a paste of
    // many files costs one pass over the catalogue, not one per file.
    // Folders pasted meanwhile add no file to the target.
    std::unordered_set<std::string> names = catalogue.FileNamesIn(target.id);
    // Each item is looked up as it comes: a record whose item is gone is
    // skipped, never taken for the item that holds its place now.
    size_t found = 0;
    for (const PastedItem& item : *items) {
        if (item.isFile) {
            const std::optional<size_t> index = clipboard.EntryOf(item);
            if (!index) continue;
            ++found;
            if (item.copy) {
                CopyFileEntry(catalogue, target.id, *index, prompt, &names);
            } else {
                MoveFileEntry(catalogue, target.id, *index, prompt, &names);
            }
        } else if (Folder* source = clipboard.FolderOf(item)) {
            ++found;
            if (item.copy) {
                tree->CopyFolder(target, *source);
            } else {
                tree->MoveFolder(target, *source);
            }
        }
    }
    if (found == 0) {
        prompt.Tell(kNothingToPaste, MsgIcon::Warning);
        return;
    }
    doc_.SetModifiedFlag();
    RefreshList();
}

void CTarvexView::AddDroppedFiles(const std::vector<std::string>& paths)
{
    CLeftView* tree = doc_.TreeView();
    if (!tree) return;
    Catalogue& catalogue = doc_.GetCatalogue();
    IPrompt& prompt = doc_.Prompt();
    Folder& target = tree->CurrentFolder();
    std::unordered_set<std::string> names = catalogue.FileNamesIn(target.id);
    for (const std::string& path : paths) {
        struct stat status {};
        if (::stat(path.c_str(), &status) != 0) continue;
        if (S_ISDIR(status.st_mode)) {
            // An empty folder named as the directory; its contents stay out.
            std::string trimmed = path;
            while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
            const std::string name = trimmed.substr(trimmed.rfind('/') + 1);
            if (name.empty()) continue;
            const std::optional<std::string> gbk = StorableName(name, prompt);
            if (gbk && !tree->InsertFolder(*gbk, -1, &target)) prompt.Tell(msg::kNewFolderFailed, MsgIcon::None);
        } else {
            // A file that cannot be read ends the drop; what came before
            // stays. A pipe or a device is refused with a message.
            if (AddFileEntry(catalogue, target.id, path, prompt, &names) == EditResult::Failed) break;
        }
    }
    doc_.SetModifiedFlag();
    RefreshList();
}

bool CTarvexView::DropEvent(QEvent* event)
{
    auto* drop = static_cast<QDropEvent*>(event);
    std::vector<std::string> paths;
    if (const QMimeData* data = drop->mimeData()) {
        for (const QUrl& url : data->urls())
            if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    }
    // The files are copied into the pack: a desktop that offered to move
    // them must not delete them.
    if (paths.empty() || !(drop->possibleActions() & Qt::CopyAction)) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (event->type() == QEvent::Drop) AddDroppedFiles(paths);
    return true;
}

}  // namespace tarvex
