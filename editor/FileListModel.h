#pragma once
// The contents of the current folder as a Qt table model: its sub-folders
// then its files, six columns. A row holds only what names its item (the
// folder's handle or the entry's index) and its image; every text is read
// from the catalogue when asked for.
#include <QAbstractTableModel>
#include <QIcon>
#include <optional>
#include <vector>

#include "catalogue/Catalogue.h"

namespace tarvex {

struct ListRow {
    bool isFolder = false;
    uint32_t ref = 0;  // folder handle, or file-entry index
    uint8_t image = 0;
};

class FileListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kName, kSize, kEncodedSize, kScheme, kRatio, kLocation, kColumnCount };
    // The role that gives a row's item: folder handle or entry index.
    static constexpr int kRefRole = Qt::UserRole + 1;

    explicit FileListModel(Catalogue& catalogue, QObject* parent = nullptr);

    // RefreshList: one pass over the entries and one reset. Each row is put
    // at the top, so sub-folders show in reverse tree order above the files
    // in reverse entry order.
    void Refresh(const Folder& folder);
    // Puts a folder row at the top without a refresh (a new folder).
    void InsertFolderRow(uint32_t handle);
    // Every row's texts may have changed.
    void TextsChanged();

    int RowCount() const { return static_cast<int>(rows_.size()); }
    const ListRow& Row(int row) const { return rows_[static_cast<size_t>(row)]; }
    const std::vector<ListRow>& Rows() const { return rows_; }
    // The row of an item, or -1.
    int RowOf(bool isFolder, uint32_t ref) const;
    // The name a row shows, GBK.
    std::string RowName(int row) const;

    void ShowPendingName(int row, const QString& text);
    void ClearPendingName();
    QString ShownName(int row) const;
    // The icon size the rows' pictures are given in.
    void SetLargeIcons(bool large);
    // The cut mark: rows of the last cut show ghosted pictures until the
    // rows are rebuilt. Replaces the marks there were.
    void SetCutRows(const std::vector<int>& rows);
    bool IsCut(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QString FileText(const FileEntry& entry, int column) const;

    Catalogue& catalogue_;
    std::vector<ListRow> rows_;
    std::vector<QIcon> small_;
    std::vector<QIcon> large_;
    std::vector<QIcon> ghostSmall_;
    std::vector<QIcon> ghostLarge_;
    std::vector<bool> cut_;  // by row
    bool largeIcons_ = false;
    std::optional<std::pair<int, QString>> pending_;
};

}  // namespace tarvex
