#pragma once
// The folder tree, the left pane: the catalogue's folders with the root (the
// pack) on top. The selected folder is the current folder that the file list
// shows and that new folders, inserted files and pasted items go into. The
// tree's rules: renames refused for the root and for a name a sibling
// carries, deletion with its question, the folder's ID on request.
#include <QTreeView>
#include <functional>

#include "catalogue/CatalogueEdits.h"
#include "ui/CommandRouter.h"

namespace tarvex {

class CTarvexDoc;
class FolderTreeModel;
class LabelEditDelegate;

class CLeftView final : public QTreeView, public CommandHandler {
    Q_OBJECT
public:
    CLeftView(CTarvexDoc& doc, CommandRouter& router, QWidget* parent = nullptr);
    ~CLeftView() override;

    FolderTreeModel& Model() { return *model_; }
    // The selected folder, or the root when none is selected.
    Folder& CurrentFolder();
    void SelectFolder(const Folder& folder);
    // Shows the catalogue afresh: the root selected (selectRoot) or the
    // folder that was selected, and the branches that were open, kept.
    void ResetTree(bool selectRoot);

    // The catalogue operations with what the tree must show of them. Each
    // change marks the document modified.
    Folder* InsertFolder(std::string gbkName, int32_t id, Folder* parent);
    void RemoveFolderTree(Folder& folder);
    EditResult MoveFolder(Folder& target, Folder& source);
    EditResult CopyFolder(Folder& target, Folder& source);
    // A folder's name changed elsewhere (the list's rename).
    void FolderRenamed(const Folder& folder);

    // The insert-files command of both views: files chosen in a dialog go
    // into the current folder.
    void InsertFilesFromDialog();

    // Starts label editing on the current folder.
    void RenameCurrent();
    void DeleteCurrent();
    void ShowCurrentId();
    // Cut (copy = false) or copy of the current folder through the clipboard.
    void CopyToClipboard(bool copy);

    bool CanHandle(int id) const override;
    CommandState Update(int id) override;
    void Execute(int id) override;

protected:
    void focusInEvent(QFocusEvent* event) override;
    // The dotted lines and buttons of the classic tree, the root's included.
    void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;
    // The current folder stays selected: a click on empty space or a
    // Ctrl+click on it does not clear the highlight.
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;

private:
    void EndLabelEdit(uint32_t handle, const std::optional<QString>& typed);
    void ShowContextMenu(const QPoint& pos);
    void CurrentChanged();
    // Runs a change of the tree's shape that the model learns of by a reset.
    EditResult Reshape(const std::function<EditResult(IPrompt&)>& change);

    CTarvexDoc& doc_;
    CommandRouter& router_;
    FolderTreeModel* model_;
    LabelEditDelegate* delegate_;
};

}  // namespace tarvex
