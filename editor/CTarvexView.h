#pragma once
// The file list, the right pane: the current folder's sub-folders and files
// in one of four view styles (large icons, report, small icons, list). Its
// rules: new folders named "新建文件夹", "新建文件夹(1)", ...; renames refused
// for a name another row of the same kind shows (case ignored); deletion
// with a question per folder; double click on a folder opens it; a plain
// click on a row of several selected selects it alone, and a slow second
// click on a row selected alone edits its name (see ListClickRules).
#include <QPointer>
#include <QStackedWidget>
#include <vector>

#include "editor/FileListModel.h"
#include "ui/CommandRouter.h"

class QAbstractItemView;
class QItemSelectionModel;
class QListView;
class QMenu;
class QTreeView;

namespace tarvex {

class CTarvexDoc;
class FindFilesWindow;
class LabelEditDelegate;
class QuickLookWindow;

class CTarvexView final : public QStackedWidget, public CommandHandler {
    Q_OBJECT
public:
    // The four list styles with their customary numbers.
    enum Style { kIcon = 0, kReport = 1, kSmallIcon = 2, kList = 3 };

    CTarvexView(CTarvexDoc& doc, CommandRouter& router, QWidget* parent = nullptr);
    ~CTarvexView() override;

    FileListModel& Model() { return *model_; }
    QAbstractItemView& CurrentView() const;
    QTreeView& ReportView() const { return *report_; }
    QListView& IconView() const { return *icons_; }

    Style ViewStyle() const { return style_; }
    void SetViewStyle(Style style);

    // Rebuilds the rows from the current folder of the tree.
    void RefreshList();
    // The selected rows in list order.
    std::vector<int> SelectedRows() const;
    std::vector<ListRow> SelectedItems() const;
    void SelectRow(int row, bool add = false);
    void SelectAll();

    void NewFolder();
    // Whether a row of that kind other than skipRow shows the name (GBK),
    // case ignored.
    bool ListHasName(const std::string& gbkName, int skipRow, bool isFolder) const;
    void DeleteSelection();
    // Command 32785: the first selected row's name is edited.
    void RenameSelection();
    // F2: the focused row's name, if that row is selected, else as the command.
    void RenameCurrentRow();
    void StartRename(int row);
    // A folder shown here may have been renamed in the tree.
    void FolderRenamed(const Folder& folder);
    // The context menu at a point of the current view's viewport.
    std::unique_ptr<QMenu> MakeContextMenu(const QPoint& pos);

    // Gives every selected file the scheme; a 0-byte file is refused.
    void SetSchemeOfSelection(uint8_t scheme);
    // "其它编码...": the plug-in chooser, then its module's scheme for the selection.
    void ChoosePluginScheme();

    // Cut (copy = false) or copy of the selected rows through the clipboard.
    void CopyToClipboard(bool copy);
    // Moves or copies the items on the clipboard into the current folder.
    void PasteFromClipboard();
    // Paths dropped from the desktop: files are added to the current folder,
    // directories become empty folders in it.
    void AddDroppedFiles(const std::vector<std::string>& paths);

    // Space: the quick look of the current row opens, or closes when open.
    void ToggleQuickLook();
    // The quick look follows the current row while it is open.
    void QuickLookFollows();
    QuickLookWindow* QuickLook() const;
    // F3: the find window, searching the pack as it is now.
    void ShowFindWindow();
    // An open find window searches again (another pack was opened).
    void FindAgain();
    FindFilesWindow* FindWindow() const;
    // A file chosen in the find window: its folder shown, its row selected.
    void ShowFile(size_t index);

    bool CanHandle(int id) const override;
    CommandState Update(int id) override;
    void Execute(int id) override;

private:
    void EndLabelEdit(ListRow item, const std::optional<QString>& typed);
    // The quick look shows the current row's file or folder.
    void LookAtCurrentRow();
    void ShowContextMenu(const QPoint& pos);
    void Activated(const QModelIndex& index);
    void Configure(QAbstractItemView& view, LabelEditDelegate* delegate);
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Drags of files from the desktop over a view's viewport.
    bool DropEvent(QEvent* event);

    CTarvexDoc& doc_;
    CommandRouter& router_;
    FileListModel* model_;
    QTreeView* report_;
    QListView* icons_;
    QItemSelectionModel* selection_;
    Style style_ = kReport;
    QPointer<QuickLookWindow> quickLook_;
    QPointer<FindFilesWindow> find_;
};

}  // namespace tarvex
