#include "editor/CTarvexView.h"

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QShortcut>
#include <QTreeView>
#include <algorithm>

#include "base/GbkText.h"
#include "catalogue/CatalogueEdits.h"
#include "editor/CLeftView.h"
#include "editor/CTarvexDoc.h"
#include "editor/FolderTreeModel.h"
#include "editor/LabelEditDelegate.h"
#include "editor/ListClickRules.h"
#include "editor/QuickLookWindow.h"
#include "schemes/SchemeId.h"
#include "talk/Messages.h"
#include "ui/CPluginChooserDlg.h"
#include "ui/CommandIds.h"
#include "ui/CommandTable.h"
#include "ui/MenuBuilder.h"

namespace tarvex {
namespace {

constexpr const char* kPluginTableFull = "一个文件包最多只能记录128个扩展编码插件，无法再加入新的插件！";

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
    connect(selection_, &QItemSelectionModel::currentChanged, this, &CTarvexView::QuickLookFollows);
    // F3 anywhere in the main window, as Space in the list: keys the menus
    // and accelerators leave free.
    auto* find = new QShortcut(QKeySequence(Qt::Key_F3), this, nullptr, nullptr, Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this, &CTarvexView::ShowFindWindow);
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
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            ToggleQuickLook();
            return true;
        }
        if (key->key() == Qt::Key_Escape && quickLook_ && quickLook_->isVisible()) {
            quickLook_->hide();
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
    // An open quick look shows its file as it is now, or goes with it.
    if (quickLook_ && quickLook_->isVisible()) {
        const std::optional<size_t> shown = quickLook_->ShownEntry();
        if (shown) {
            quickLook_->ShowEntry(*shown);
        } else {
            quickLook_->hide();
        }
    }
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
