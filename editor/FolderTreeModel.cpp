#include "editor/FolderTreeModel.h"

#include "base/GbkText.h"
#include "ui/Artwork.h"

namespace tarvex {

FolderTreeModel::FolderTreeModel(Catalogue& catalogue, QObject* parent)
    : QAbstractItemModel(parent), catalogue_(catalogue),
      folderIcon_(art::TreeFolderIcon()),
      ghostIcon_(art::GhostIcon(folderIcon_))
{
}

Folder* FolderTreeModel::FolderAt(const QModelIndex& index) const
{
    if (!index.isValid()) return nullptr;
    return catalogue_.FolderByHandle(static_cast<uint32_t>(index.internalId()));
}

QModelIndex FolderTreeModel::IndexOf(const Folder* folder) const
{
    if (!folder) return {};
    if (!folder->parent) return createIndex(0, 0, static_cast<quintptr>(folder->handle));
    return createIndex(folder->Row(), 0, static_cast<quintptr>(folder->handle));
}

Folder* FolderTreeModel::InsertFolder(std::string gbkName, int32_t id, Folder& parent)
{
    const int row = static_cast<int>(parent.children.size());
    beginInsertRows(IndexOf(&parent), row, row);
    Folder* folder = catalogue_.InsertFolder(std::move(gbkName), id, parent);
    endInsertRows();
    return folder;
}

void FolderTreeModel::RemoveFolder(Folder& folder, const std::function<void()>& remove)
{
    if (!folder.parent) return;
    const int row = folder.Row();
    beginRemoveRows(IndexOf(folder.parent), row, row);
    remove();
    endRemoveRows();
}

void FolderTreeModel::NameChanged(const Folder& folder)
{
    const QModelIndex i = IndexOf(&folder);
    emit dataChanged(i, i);
}

void FolderTreeModel::ShowPendingName(const Folder& folder, const QString& text)
{
    pending_ = std::make_pair(folder.handle, text);
    NameChanged(folder);
}

void FolderTreeModel::ClearPendingName()
{
    if (!pending_) return;
    const uint32_t handle = pending_->first;
    pending_.reset();
    if (const Folder* folder = catalogue_.FolderByHandle(handle)) NameChanged(*folder);
}

QString FolderTreeModel::ShownName(const Folder& folder) const
{
    if (pending_ && pending_->first == folder.handle) return pending_->second;
    return QString::fromStdString(GbkToUtf8Lossy(folder.name));
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0) return {};
    if (!parent.isValid()) return row == 0 ? IndexOf(&catalogue_.Root()) : QModelIndex();
    const Folder* folder = FolderAt(parent);
    if (!folder || row >= static_cast<int>(folder->children.size())) return {};
    return createIndex(row, 0, static_cast<quintptr>(folder->children[static_cast<size_t>(row)]->handle));
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const
{
    const Folder* folder = FolderAt(child);
    return folder ? IndexOf(folder->parent) : QModelIndex();
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid()) return 1;
    const Folder* folder = FolderAt(parent);
    return folder ? static_cast<int>(folder->children.size()) : 0;
}

int FolderTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const
{
    const Folder* folder = FolderAt(index);
    if (!folder) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return ShownName(*folder);
        case Qt::DecorationRole:
            return IsCut(*folder) ? ghostIcon_ : folderIcon_;
        default:
            return {};
    }
}

void FolderTreeModel::SetCutFolder(std::optional<uint32_t> handle)
{
    const std::optional<uint32_t> before = cutFolder_;
    cutFolder_ = handle;
    for (const std::optional<uint32_t>& changed : {before, handle}) {
        const Folder* folder = changed ? catalogue_.FolderByHandle(*changed) : nullptr;
        if (!folder) continue;
        const QModelIndex index = IndexOf(folder);
        emit dataChanged(index, index, {Qt::DecorationRole});
    }
}

bool FolderTreeModel::setData(const QModelIndex&, const QVariant&, int)
{
    // Renames go through the view's rules, never straight into the model.
    return false;
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

}  // namespace tarvex
