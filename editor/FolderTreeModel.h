#pragma once
// The folder tree of the catalogue as a Qt item model: one column, the root
// (the pack itself) as the only top-level row. An index names its folder by
// the folder's handle, which is never reused, so a stale index finds nothing
// instead of another folder.
#include <QAbstractItemModel>
#include <QIcon>
#include <optional>

#include "catalogue/Catalogue.h"

namespace tarvex {

class FolderTreeModel final : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit FolderTreeModel(Catalogue& catalogue, QObject* parent = nullptr);

    Folder* FolderAt(const QModelIndex& index) const;
    QModelIndex IndexOf(const Folder* folder) const;
    QModelIndex RootIndex() const { return index(0, 0); }

    // Call around changes of the tree's shape made outside the model.
    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }
    // Appends a new folder as the last child of parent, through the model.
    Folder* InsertFolder(std::string gbkName, int32_t id, Folder& parent);
    // Removes a folder with its subtree from the model and the catalogue's tree.
    void RemoveFolder(Folder& folder, const std::function<void()>& remove);
    // A folder's name changed.
    void NameChanged(const Folder& folder);

    // While a rename is refused and its editor reopened, the row shows the
    // text as typed without the catalogue taking it.
    void ShowPendingName(const Folder& folder, const QString& text);
    void ClearPendingName();
    // The text a folder's row shows.
    QString ShownName(const Folder& folder) const;
    // The cut mark: the folder of the last cut in the tree shows a ghosted
    // picture; none clears it.
    void SetCutFolder(std::optional<uint32_t> handle);
    bool IsCut(const Folder& folder) const { return cutFolder_ == folder.handle; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    Catalogue& catalogue_;
    QIcon folderIcon_;
    QIcon ghostIcon_;
    std::optional<uint32_t> cutFolder_;
    std::optional<std::pair<uint32_t, QString>> pending_;
};

}  // namespace tarvex
