#include "editor/CLeftView.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <unordered_set>

#include "base/GbkText.h"
#include "editor/CTarvexDoc.h"
#include "editor/CTarvexView.h"
#include "editor/FolderTreeModel.h"
#include "editor/LabelEditDelegate.h"
#include "editor/TreeBranches.h"
#include "talk/DeferredPrompt.h"
#include "talk/Messages.h"
#include "ui/CommandIds.h"
#include "ui/MenuBuilder.h"

namespace tarvex {
namespace {

constexpr const char* kDeleteQuestion = "该操作将删除所选项目以及所选项目包含的子项目。\n确实要删除吗?";
constexpr const char* kRootDelete = "注意：不允许删除根节点！";

}  // namespace

CLeftView::CLeftView(CTarvexDoc& doc, CommandRouter& router, QWidget* parent)
    : QTreeView(parent),
      doc_(doc),
      router_(router),
      model_(new FolderTreeModel(doc.GetCatalogue(), this)),
      delegate_(new LabelEditDelegate(
          [this](const QModelIndex& i) -> quint64 {
              const Folder* folder = model_->FolderAt(i);
              return folder ? folder->handle : 0;
          },
          [this](quint64 handle, const auto& typed) { EndLabelEdit(static_cast<uint32_t>(handle), typed); }, this))
{
    setObjectName(QStringLiteral("leftView"));
    setModel(model_);
    setItemDelegate(delegate_);
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &CLeftView::ShowContextMenu);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &CLeftView::CurrentChanged);
    doc_.SetTreeView(this);
}

CLeftView::~CLeftView()
{
    doc_.SetTreeView(nullptr);
}

Folder& CLeftView::CurrentFolder()
{
    Folder* folder = model_->FolderAt(currentIndex());
    return folder ? *folder : doc_.GetCatalogue().Root();
}

void CLeftView::SelectFolder(const Folder& folder)
{
    const QModelIndex index = model_->IndexOf(&folder);
    scrollTo(index);
    setCurrentIndex(index);
}

void CLeftView::CurrentChanged()
{
    if (doc_.ListView()) doc_.ListView()->RefreshList();
    router_.NotifyStatesChanged();
}

void CLeftView::ResetTree(bool selectRoot)
{
    Catalogue& catalogue = doc_.GetCatalogue();
    const uint32_t current = selectRoot ? catalogue.Root().handle : CurrentFolder().handle;
    std::unordered_set<uint32_t> open;
    std::vector<const Folder*> pending{&catalogue.Root()};
    while (!pending.empty()) {
        const Folder* f = pending.back();
        pending.pop_back();
        if (!selectRoot && isExpanded(model_->IndexOf(f))) open.insert(f->handle);
        for (const auto& child : f->children) pending.push_back(child.get());
    }

    const QSignalBlocker quiet(selectionModel());
    model_->BeginReset();
    model_->EndReset();
    expand(model_->RootIndex());
    for (uint32_t handle : open)
        if (const Folder* f = catalogue.FolderByHandle(handle)) expand(model_->IndexOf(f));
    const Folder* selected = catalogue.FolderByHandle(current);
    setCurrentIndex(model_->IndexOf(selected ? selected : &catalogue.Root()));
}

Folder* CLeftView::InsertFolder(std::string gbkName, int32_t id, Folder* parent)
{
    Folder& into = parent ? *parent : CurrentFolder();
    Folder* folder = model_->InsertFolder(std::move(gbkName), id, into);
    if (folder) doc_.SetModifiedFlag();
    return folder;
}

void CLeftView::RemoveFolderTree(Folder& folder)
{
    if (!folder.parent) return;
    // The tree selects a neighbour of a removed current folder: the next
    // sibling, else the one before, else the parent.
    Folder* next = nullptr;
    if (&CurrentFolder() == &folder || doc_.GetCatalogue().IsSameOrBelow(CurrentFolder(), folder)) {
        const auto& siblings = folder.parent->children;
        const size_t row = static_cast<size_t>(folder.Row());
        next = row + 1 < siblings.size() ? siblings[row + 1].get() : row > 0 ? siblings[row - 1].get() : folder.parent;
    }
    {
        const QSignalBlocker quiet(selectionModel());
        model_->RemoveFolder(folder, [&] { tarvex::RemoveFolderTree(doc_.GetCatalogue(), folder); });
    }
    doc_.SetModifiedFlag();
    // The selection model may already have moved to that neighbour by
    // itself, quietly: the list is refreshed in any case.
    if (next) SelectFolder(*next);
    if (doc_.ListView()) doc_.ListView()->RefreshList();
}

EditResult CLeftView::Reshape(const std::function<EditResult(IPrompt&)>& change)
{
    const uint32_t current = CurrentFolder().handle;
    std::unordered_set<uint32_t> open;
    Catalogue& catalogue = doc_.GetCatalogue();
    std::vector<const Folder*> pending{&catalogue.Root()};
    while (!pending.empty()) {
        const Folder* f = pending.back();
        pending.pop_back();
        if (isExpanded(model_->IndexOf(f))) open.insert(f->handle);
        for (const auto& child : f->children) pending.push_back(child.get());
    }
    EditResult result;
    // The change's refusals are shown once the tree shows its folders again:
    // in the middle of the model's reset it would paint itself blank.
    DeferredPrompt held;
    {
        const QSignalBlocker quiet(selectionModel());
        model_->BeginReset();
        result = change(held);
        model_->EndReset();
        for (uint32_t handle : open)
            if (const Folder* f = catalogue.FolderByHandle(handle)) expand(model_->IndexOf(f));
        const Folder* selected = catalogue.FolderByHandle(current);
        setCurrentIndex(model_->IndexOf(selected ? selected : &catalogue.Root()));
    }
    ShowMessages(held.Take(), doc_.Prompt());
    if (result == EditResult::Done) doc_.SetModifiedFlag();
    return result;
}

EditResult CLeftView::MoveFolder(Folder& target, Folder& source)
{
    const EditResult result =
        Reshape([&](IPrompt& prompt) { return tarvex::MoveFolder(doc_.GetCatalogue(), target, source, prompt); });
    // The cut is done: the folder is not ghosted in its new place.
    if (result == EditResult::Done && model_->IsCut(source)) model_->SetCutFolder(std::nullopt);
    return result;
}

EditResult CLeftView::CopyFolder(Folder& target, Folder& source)
{
    return Reshape([&](IPrompt& prompt) { return tarvex::CopyFolder(doc_.GetCatalogue(), target, source, prompt); });
}

void CLeftView::FolderRenamed(const Folder& folder)
{
    model_->NameChanged(folder);
}

void CLeftView::InsertFilesFromDialog()
{
    const std::vector<std::string> paths = doc_.Choices().ChooseFilesToInsert();
    if (paths.empty()) return;
    const uint32_t folderId = CurrentFolder().id;
    std::unordered_set<std::string> names = doc_.GetCatalogue().FileNamesIn(folderId);
    bool added = false;
    bool failed = false;
    for (const std::string& path : paths) {
        const EditResult result = AddFileEntry(doc_.GetCatalogue(), folderId, path, doc_.Prompt(), &names);
        added = added || result == EditResult::Done;
        // A file that cannot be read ends the command; what was added stays.
        failed = result == EditResult::Failed;
        if (failed) break;
    }
    // A finished insert marks the document even when every file was refused;
    // one ended by an unreadable file only when it added something.
    if (added || !failed) doc_.SetModifiedFlag();
    if (doc_.ListView()) doc_.ListView()->RefreshList();
}

void CLeftView::RenameCurrent()
{
    edit(model_->IndexOf(&CurrentFolder()));
}

void CLeftView::EndLabelEdit(uint32_t handle, const std::optional<QString>& typed)
{
    Folder* folder = doc_.GetCatalogue().FolderByHandle(handle);
    if (!folder) return;
    // A cancelled edit checks the name the item shows.
    const std::string text = typed ? typed->toStdString() : model_->ShownName(*folder).toStdString();
    // The item shows the typed name at once, before it is checked.
    if (typed && folder->parent && !TrimmedName(text).empty()) model_->ShowPendingName(*folder, *typed);
    const EditResult result = RenameFolder(*folder, text, doc_.Prompt());
    if (result == EditResult::Refused && folder->parent && !TrimmedName(text).empty()) {
        // The item shows the name as typed and the editor comes back until
        // a name the folder may carry is entered.
        model_->ShowPendingName(*folder, QString::fromStdString(text));
        edit(model_->IndexOf(folder));
        return;
    }
    model_->ClearPendingName();
    // An accepted edit marks the document, also when the name stays as it was.
    if (result == EditResult::Refused) return;
    doc_.SetModifiedFlag();
    model_->NameChanged(*folder);
    if (doc_.ListView()) doc_.ListView()->FolderRenamed(*folder);
}

void CLeftView::DeleteCurrent()
{
    IPrompt& prompt = doc_.Prompt();
    if (prompt.Message(kDeleteQuestion, MsgIcon::None, MsgButtons::YesNoCancel) != MsgAnswer::Yes) return;
    Folder& folder = CurrentFolder();
    if (!folder.parent) {
        prompt.Tell(kRootDelete, MsgIcon::Warning);
        return;
    }
    RemoveFolderTree(folder);
}

void CLeftView::ShowCurrentId()
{
    doc_.Prompt().Tell(Printf("data = %d", static_cast<int>(CurrentFolder().id)), MsgIcon::None);
}

void CLeftView::CopyToClipboard(bool copy)
{
    // The tree's mark shows its own last cut; the list keeps its marks.
    model_->SetCutFolder(std::nullopt);
    Folder& folder = CurrentFolder();
    if (!doc_.Clipboard().Put({ListRow{true, folder.handle, 0}}, copy, doc_.Prompt())) return;
    if (!copy) model_->SetCutFolder(folder.handle);
}

void CLeftView::ShowContextMenu(const QPoint& pos)
{
    const QModelIndex index = indexAt(pos);
    if (!index.isValid()) return;
    setCurrentIndex(index);
    router_.SetActiveView(this);
    const std::unique_ptr<QMenu> menu = BuildContextMenu(ContextPopup::TreeItem, router_, this);
    menu->exec(viewport()->mapToGlobal(pos));
}

void CLeftView::focusInEvent(QFocusEvent* event)
{
    QTreeView::focusInEvent(event);
    router_.SetActiveView(this);
    router_.NotifyStatesChanged();
}

void CLeftView::drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const
{
    const QModelIndex parent = index.parent();
    BranchRow row;
    row.lineAbove = parent.isValid() || index.row() > 0;
    row.lineBelow = index.row() + 1 < model_->rowCount(parent);
    row.hasChildren = model_->hasChildren(index);
    row.expanded = isExpanded(index);
    for (QModelIndex level = parent; level.isValid(); level = level.parent())
        row.passing.insert(row.passing.begin(), level.row() + 1 < model_->rowCount(level.parent()));
    PaintBranches(*painter, rect, indentation(), row);
}

QItemSelectionModel::SelectionFlags CLeftView::selectionCommand(const QModelIndex& index, const QEvent* event) const
{
    const QItemSelectionModel::SelectionFlags command = QTreeView::selectionCommand(index, event);
    const bool deselects =
        command.testFlag(QItemSelectionModel::Deselect) && !command.testFlag(QItemSelectionModel::Select);
    return !index.isValid() || deselects ? QItemSelectionModel::NoUpdate : command;
}

bool CLeftView::CanHandle(int id) const
{
    switch (id) {
        case cmd::kNewFolder:
        case cmd::kRenameFolder:
        case cmd::kInsertFile:
        case cmd::kDelete:
        case cmd::kShowId:
        case cmd::kEditCut:
        case cmd::kEditCopy:
        case cmd::kEditPaste:
            return true;
        default:
            return false;
    }
}

CommandState CLeftView::Update(int id)
{
    if (id == cmd::kEditPaste) return {ClipboardTransfer::Offered(), false};
    return {true, false};
}

void CLeftView::Execute(int id)
{
    switch (id) {
        case cmd::kNewFolder:
            if (doc_.ListView()) doc_.ListView()->NewFolder();
            break;
        case cmd::kRenameFolder:
            RenameCurrent();
            break;
        case cmd::kInsertFile:
            InsertFilesFromDialog();
            break;
        case cmd::kDelete:
            DeleteCurrent();
            break;
        case cmd::kShowId:
            ShowCurrentId();
            break;
        case cmd::kEditCut:
            CopyToClipboard(false);
            break;
        case cmd::kEditCopy:
            CopyToClipboard(true);
            break;
        case cmd::kEditPaste:
            // The list pastes into the current folder, which is the tree's.
            if (doc_.ListView()) doc_.ListView()->PasteFromClipboard();
            break;
        default:
            break;
    }
}

}  // namespace tarvex
