#include "editor/CTarvexView.h"

#include <QApplication>
#include <QDropEvent>
#include <QEvent>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QMimeData>
#include <QMenu>
#include <QTreeView>
#include <QUrl>
#include <algorithm>

#include <sys/stat.h>

#include "base/GbkText.h"
#include "catalogue/CatalogueEdits.h"
#include "editor/CLeftView.h"
#include "editor/CTarvexDoc.h"
#include "editor/FolderTreeModel.h"
#include "editor/LabelEditDelegate.h"
#include "editor/ListClickRules.h"
#include "schemes/SchemeId.h"
#include "talk/Messages.h"
#include "ui/CPluginChooserDlg.h"
#include "ui/CommandIds.h"
#include "ui/CommandTable.h"
#include "ui/MenuBuilder.h"

namespace tarvex {
namespace {

constexpr const char* kNewFolderFailed = "新建文件夹失败！";
constexpr const char* kDeleteFolderQuestion = "注意：删除这个目录将删除此目录下的所有信息！\n确定要删除吗？";
constexpr const char* kPluginTableFull = "一个文件包最多只能记录128个扩展编码插件，无法再加入新的插件！";
constexpr const char* kNothingToPaste =
    "剪贴簿上的项目已经不在这个文件包里了（被删除，或者来自另一个正在运行的Tarvex），无法粘贴！";

bool IsSchemeCommand(int id)
{
    return id == cmd::kSchemeNone || id == cmd::kSchemeRle || id == cmd::kSchemeLz || id == cmd::kSchemeOther ||
           (id >= cmd::kPluginSchemeFirst && id <= cmd::kPluginSchemeLast);
}

constexpr int kColumnWidths[FileListModel::kColumnCount] = {150, 80, 80, 60, 60, 220};

}  // namespace

CTarvexView::CTarvexView(CTarvexDoc& doc, CommandRouter& router, QWidget* parent)
    : QStackedWidget(parent),
      doc_(doc),
      router_(router),
      model_(new FileListModel(doc.GetCatalogue(), this)),
      report_(new QTreeView(this)),
      icons_(new QListView(this))
{
    setObjectName(QStringLiteral("rightView"));
    report_->setObjectName(QStringLiteral("reportView"));
    icons_->setObjectName(QStringLiteral("iconView"));
    report_->setModel(model_);
    icons_->setModel(model_);
    selection_ = report_->selectionModel();
    icons_->setSelectionModel(selection_);

    // A row's item as the edit's key: bit 32 tells a folder, the low bits its reference.
    const auto keyOf = [this](const QModelIndex& i) -> quint64 {
        if (!i.isValid() || i.row() >= model_->RowCount()) return 0;
        const ListRow& row = model_->Row(i.row());
        return (row.isFolder ? quint64{1} << 32 : 0) | row.ref;
    };
    const auto endEdit = [this](quint64 key, const auto& typed) {
        EndLabelEdit(ListRow{(key >> 32) != 0, static_cast<uint32_t>(key), 0}, typed);
    };
    Configure(*report_, new LabelEditDelegate(keyOf, endEdit, report_));
    Configure(*icons_, new LabelEditDelegate(keyOf, endEdit, icons_));

    report_->setRootIsDecorated(false);
    report_->setItemsExpandable(false);
    report_->setUniformRowHeights(true);
    report_->setAllColumnsShowFocus(true);
    report_->header()->setStretchLastSection(false);
    report_->header()->setSectionsMovable(false);
    for (int c = 0; c < FileListModel::kColumnCount; ++c) report_->setColumnWidth(c, kColumnWidths[c]);

    icons_->setUniformItemSizes(true);
    icons_->setWrapping(true);
    icons_->setResizeMode(QListView::Adjust);
    icons_->setMovement(QListView::Static);

    addWidget(report_);
    addWidget(icons_);
    SetViewStyle(kReport);

    connect(selection_, &QItemSelectionModel::selectionChanged, &router_, &CommandRouter::NotifyStatesChanged);
    doc_.SetListView(this);
}

CTarvexView::~CTarvexView()
{
    report_->removeEventFilter(this);
    icons_->removeEventFilter(this);
    report_->viewport()->removeEventFilter(this);
    icons_->viewport()->removeEventFilter(this);
    doc_.SetListView(nullptr);
}

void CTarvexView::Configure(QAbstractItemView& view, LabelEditDelegate* delegate)
{
    view.setItemDelegate(delegate);
    view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    // Names are edited on F2 (see eventFilter), the rename command and a
    // slow second click of a row selected alone, never the clicked column.
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    new ListClickRules(view, [this](int row) { StartRename(row); });
    view.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&view, &QWidget::customContextMenuRequested, this, &CTarvexView::ShowContextMenu);
    connect(&view, &QAbstractItemView::doubleClicked, this, &CTarvexView::Activated);
    view.installEventFilter(this);
    view.viewport()->setAcceptDrops(true);
    view.viewport()->installEventFilter(this);
}

bool CTarvexView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == report_->viewport() || watched == icons_->viewport()) {
        const QEvent::Type type = event->type();
        if (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) return DropEvent(event);
        return QStackedWidget::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress && (watched == report_ || watched == icons_)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F2 && key->modifiers() == Qt::NoModifier) {
            RenameCurrentRow();
            return true;
        }
    }
    if (event->type() == QEvent::FocusIn && (watched == report_ || watched == icons_)) {
        router_.SetActiveView(this);
        router_.NotifyStatesChanged();
    }
    return QStackedWidget::eventFilter(watched, event);
}

QAbstractItemView& CTarvexView::CurrentView() const
{
    return style_ == kReport ? static_cast<QAbstractItemView&>(*report_) : *icons_;
}

void CTarvexView::SetViewStyle(Style style)
{
    const bool hadFocus = CurrentView().hasFocus();
    style_ = style;
    switch (style) {
        case kReport:
            break;
        case kIcon:
            icons_->setViewMode(QListView::IconMode);
            icons_->setFlow(QListView::LeftToRight);
            icons_->setIconSize({32, 32});
            icons_->setGridSize({96, 64});
            icons_->setWordWrap(true);
            break;
        case kSmallIcon:
            icons_->setViewMode(QListView::ListMode);
            icons_->setFlow(QListView::LeftToRight);
            icons_->setIconSize({16, 16});
            icons_->setGridSize({150, 20});
            icons_->setWordWrap(false);
            break;
        case kList:
            icons_->setViewMode(QListView::ListMode);
            icons_->setFlow(QListView::TopToBottom);
            icons_->setIconSize({16, 16});
            icons_->setGridSize({150, 20});
            icons_->setWordWrap(false);
            break;
    }
    icons_->setWrapping(true);
    icons_->setMovement(QListView::Static);
    model_->SetLargeIcons(style == kIcon);
    setCurrentWidget(&CurrentView());
    setFocusProxy(&CurrentView());
    if (hadFocus) CurrentView().setFocus();
}

void CTarvexView::RefreshList()
{
    CLeftView* tree = doc_.TreeView();
    if (!tree) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    model_->Refresh(tree->CurrentFolder());
    QApplication::restoreOverrideCursor();
    router_.NotifyStatesChanged();
}

std::vector<int> CTarvexView::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : selection_->selectedIndexes())
        if (index.column() == 0) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

std::vector<ListRow> CTarvexView::SelectedItems() const
{
    std::vector<ListRow> items;
    for (int row : SelectedRows()) items.push_back(model_->Row(row));
    return items;
}

void CTarvexView::SelectRow(int row, bool add)
{
    const QModelIndex index = model_->index(row, 0);
    const auto flags =
        (add ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect) | QItemSelectionModel::Rows;
    selection_->setCurrentIndex(index, flags);
}

void CTarvexView::SelectAll()
{
    CurrentView().selectAll();
}

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
        doc_.Prompt().Tell(kNewFolderFailed, MsgIcon::None);
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

void CTarvexView::Activated(const QModelIndex& index)
{
    if (!index.isValid()) return;
    const ListRow& row = model_->Row(index.row());
    if (!row.isFolder || !doc_.TreeView()) return;
    if (const Folder* folder = doc_.GetCatalogue().FolderByHandle(row.ref)) doc_.TreeView()->SelectFolder(*folder);
}

std::unique_ptr<QMenu> CTarvexView::MakeContextMenu(const QPoint& pos)
{
    const QModelIndex index = CurrentView().indexAt(pos);
    if (!index.isValid()) return BuildContextMenu(ContextPopup::ListSpace, router_, this);

    std::unique_ptr<QMenu> menu = BuildContextMenu(ContextPopup::ListItem, router_, this);
    QMenu* schemes = FindSubmenu(*menu, QString::fromUtf8(kSchemeSubmenuLabel.data(), kSchemeSubmenuLabel.size()));
    if (!schemes) return menu;
    QAction* other = nullptr;
    for (QAction* action : schemes->actions())
        if (action->data().toInt() == cmd::kSchemeOther) other = action;
    const auto& plugins = doc_.GetCatalogue().Plugins();
    if (!plugins.empty()) schemes->insertSeparator(other);
    for (size_t k = 0; k < plugins.size(); ++k) {
        QString label = QString::fromStdString(GbkToUtf8Lossy(plugins[k].providerName));
        if (k < 10) label += QStringLiteral("\t(&%1)").arg(k);
        QAction* action = MakeRoutedAction(*schemes, cmd::kPluginSchemeFirst + static_cast<int>(k), label, router_);
        schemes->insertAction(other, action);
    }
    schemes->insertSeparator(other);
    return menu;
}

void CTarvexView::ShowContextMenu(const QPoint& pos)
{
    router_.SetActiveView(this);
    const std::unique_ptr<QMenu> menu = MakeContextMenu(pos);
    menu->exec(CurrentView().viewport()->mapToGlobal(pos));
}

void CTarvexView::SetSchemeOfSelection(uint8_t scheme)
{
    Catalogue& catalogue = doc_.GetCatalogue();
    for (const ListRow& item : SelectedItems()) {
        if (item.isFolder || item.ref >= catalogue.Entries().size()) continue;
        SetEntryScheme(catalogue, item.ref, scheme, doc_.Prompt());
    }
    model_->TextsChanged();
    doc_.SetModifiedFlag();
}

void CTarvexView::ChoosePluginScheme()
{
    CPluginChooserDlg chooser(doc_.Plugins(), doc_.Prompt(), window());
    if (chooser.DoModal() != QDialog::Accepted) return;
    const std::optional<uint8_t> scheme =
        doc_.GetCatalogue().AddPlugin(chooser.ModuleFile(), chooser.ProviderName(), chooser.ProviderVersion());
    if (!scheme) {
        doc_.Prompt().Tell(kPluginTableFull, MsgIcon::Warning);
        return;
    }
    SetSchemeOfSelection(*scheme);
}

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
    // Each item is looked up as it comes: a record whose item is gone is
    // skipped, never taken for the item that holds its place now.
    size_t found = 0;
    for (const PastedItem& item : *items) {
        if (item.isFile) {
            const std::optional<size_t> index = clipboard.EntryOf(item);
            if (!index) continue;
            ++found;
            if (item.copy) {
                CopyFileEntry(catalogue, target.id, *index, prompt);
            } else {
                MoveFileEntry(catalogue, target.id, *index, prompt);
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
            if (gbk && !tree->InsertFolder(*gbk, -1, &target)) prompt.Tell(kNewFolderFailed, MsgIcon::None);
        } else {
            // A file that cannot be read ends the drop; what came before
            // stays. A pipe or a device is refused with a message.
            if (AddFileEntry(catalogue, target.id, path, prompt) == EditResult::Failed) break;
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

bool CTarvexView::CanHandle(int id) const
{
    if (IsSchemeCommand(id)) return true;
    switch (id) {
        case cmd::kEditCut:
        case cmd::kEditCopy:
        case cmd::kEditPaste:
        case cmd::kNewFolder:
        case cmd::kInsertFile:
        case cmd::kDelete:
        case cmd::kRenameItem:
        case cmd::kSelectAll:
        case cmd::kRefresh:
        case cmd::kPlugins:
            return true;
        default:
            return false;
    }
}

CommandState CTarvexView::Update(int id)
{
    const bool selected = !SelectedRows().empty();
    if (id >= cmd::kPluginSchemeFirst && id <= cmd::kPluginSchemeLast) {
        const size_t slot = static_cast<size_t>(id - cmd::kPluginSchemeFirst);
        return {selected && slot < doc_.GetCatalogue().Plugins().size(), false};
    }
    if (IsSchemeCommand(id) || id == cmd::kEditCut || id == cmd::kEditCopy) return {selected, false};
    if (id == cmd::kEditPaste) return {ClipboardTransfer::Offered(), false};
    return {true, false};
}

void CTarvexView::Execute(int id)
{
    if (id >= cmd::kPluginSchemeFirst && id <= cmd::kPluginSchemeLast) {
        // Slot k has command 40000 + k and scheme 0x80 + k.
        SetSchemeOfSelection(static_cast<uint8_t>((id + 64) & 0xFF));
        return;
    }
    switch (id) {
        case cmd::kSchemeNone:
            SetSchemeOfSelection(kSchemeNone);
            break;
        case cmd::kSchemeRle:
            SetSchemeOfSelection(kSchemeRle);
            break;
        case cmd::kSchemeLz:
            SetSchemeOfSelection(kSchemeLz);
            break;
        case cmd::kSchemeOther:
            ChoosePluginScheme();
            break;
        case cmd::kEditCut:
            CopyToClipboard(false);
            break;
        case cmd::kEditCopy:
            CopyToClipboard(true);
            break;
        case cmd::kEditPaste:
            PasteFromClipboard();
            break;
        case cmd::kNewFolder:
            NewFolder();
            break;
        case cmd::kInsertFile:
            if (doc_.TreeView()) doc_.TreeView()->InsertFilesFromDialog();
            break;
        case cmd::kDelete:
            DeleteSelection();
            break;
        case cmd::kRenameItem:
            RenameSelection();
            break;
        case cmd::kSelectAll:
            SelectAll();
            break;
        case cmd::kRefresh:
            RefreshList();
            break;
        case cmd::kPlugins:
            break;  // the plug-in chooser is reached through "其它编码..."
        default:
            break;
    }
}

}  // namespace tarvex
