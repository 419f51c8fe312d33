#include "editor/FileListModel.h"

#include <algorithm>

#include "base/GbkText.h"
#include "editor/IconForExtension.h"
#include "schemes/SchemeId.h"
#include "schemes/SizeText.h"
#include "ui/Artwork.h"

namespace tarvex {

FileListModel::FileListModel(Catalogue& catalogue, QObject* parent)
    : QAbstractTableModel(parent),
      catalogue_(catalogue),
      small_(art::FileKindIcons(false)),
      large_(art::FileKindIcons(true))
{
    for (const QIcon& icon : small_) ghostSmall_.push_back(art::GhostIcon(icon));
    for (const QIcon& icon : large_) ghostLarge_.push_back(art::GhostIcon(icon));
}

void FileListModel::Refresh(const Folder& folder)
{
    beginResetModel();
    pending_.reset();
    rows_.clear();
    cut_.clear();
    const auto& entries = catalogue_.Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].folderId != folder.id) continue;
        rows_.push_back({false, static_cast<uint32_t>(i), static_cast<uint8_t>(IconForExtension(entries[i].name))});
    }
    for (const auto& child : folder.children) rows_.push_back({true, child->handle, kFolderImage});
    // Every row went in at the top: the last one added shows first.
    std::reverse(rows_.begin(), rows_.end());
    endResetModel();
}

void FileListModel::InsertFolderRow(uint32_t handle)
{
    beginInsertRows({}, 0, 0);
    rows_.insert(rows_.begin(), ListRow{true, handle, kFolderImage});
    if (!cut_.empty()) cut_.insert(cut_.begin(), false);
    if (pending_) ++pending_->first;
    endInsertRows();
}

void FileListModel::TextsChanged()
{
    if (!rows_.empty()) emit dataChanged(index(0, 0), index(RowCount() - 1, kColumnCount - 1));
}

int FileListModel::RowOf(bool isFolder, uint32_t ref) const
{
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].isFolder == isFolder && rows_[i].ref == ref) return static_cast<int>(i);
    return -1;
}

std::string FileListModel::RowName(int row) const
{
    const ListRow& r = Row(row);
    if (r.isFolder) {
        const Folder* folder = catalogue_.FolderByHandle(r.ref);
        return folder ? folder->name : std::string();
    }
    return r.ref < catalogue_.Entries().size() ? catalogue_.Entries()[r.ref].name : std::string();
}

void FileListModel::ShowPendingName(int row, const QString& text)
{
    pending_ = std::make_pair(row, text);
    emit dataChanged(index(row, 0), index(row, 0));
}

void FileListModel::ClearPendingName()
{
    if (!pending_) return;
    const int row = pending_->first;
    pending_.reset();
    if (row < RowCount()) emit dataChanged(index(row, 0), index(row, 0));
}

QString FileListModel::ShownName(int row) const
{
    if (pending_ && pending_->first == row) return pending_->second;
    return QString::fromStdString(GbkToUtf8Lossy(RowName(row)));
}

void FileListModel::SetLargeIcons(bool large)
{
    if (large == largeIcons_) return;
    largeIcons_ = large;
    if (!rows_.empty()) emit dataChanged(index(0, 0), index(RowCount() - 1, 0), {Qt::DecorationRole});
}

void FileListModel::SetCutRows(const std::vector<int>& rows)
{
    cut_.assign(rows_.size(), false);
    for (int row : rows)
        if (row >= 0 && row < RowCount()) cut_[static_cast<size_t>(row)] = true;
    if (!rows_.empty()) emit dataChanged(index(0, 0), index(RowCount() - 1, 0), {Qt::DecorationRole});
}

bool FileListModel::IsCut(int row) const
{
    return row >= 0 && static_cast<size_t>(row) < cut_.size() && cut_[static_cast<size_t>(row)];
}

int FileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : RowCount();
}

int FileListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QString FileListModel::FileText(const FileEntry& entry, int column) const
{
    switch (column) {
        case kSize:
            return QString::fromStdString(FormatSizeText(entry.fileSize));
        case kEncodedSize:
            return QString::fromStdString(FormatSizeText(entry.encodedSize));
        case kScheme:
            return QString::fromStdString(SchemeName(entry.scheme, catalogue_.Plugins()));
        case kRatio:
            return QString::fromStdString(FormatRatioText(entry.fileSize, entry.encodedSize));
        case kLocation:
            return QString::fromStdString(entry.FromPack() ? PackedSourceText(entry.name) : entry.sourcePath);
        default:
            return {};
    }
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= RowCount()) return {};
    const ListRow& r = Row(index.row());
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
        case Qt::ToolTipRole:
            if (column == kName) return ShownName(index.row());
            if (r.isFolder || r.ref >= catalogue_.Entries().size()) return QString();
            return FileText(catalogue_.Entries()[r.ref], column);
        case Qt::DecorationRole: {
            if (column != kName) return {};
            const bool cut = IsCut(index.row());
            const auto& icons = largeIcons_ ? (cut ? ghostLarge_ : large_) : (cut ? ghostSmall_ : small_);
            return r.image < icons.size() ? icons[r.image] : QIcon();
        }
        case Qt::TextAlignmentRole:
            if (column == kSize || column == kEncodedSize || column == kRatio)
                return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        case kRefRole:
            return r.ref;
        default:
            return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(
            (section == kSize || section == kEncodedSize || section == kRatio ? Qt::AlignRight : Qt::AlignLeft) |
            Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    static const char* const kHeaders[kColumnCount] = {"名称", "大小(字节)", "编码后大小",
                                                       "编码", "压缩率",     "文件位置"};
    return section >= 0 && section < kColumnCount ? QString::fromUtf8(kHeaders[section]) : QVariant();
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == kName) f |= Qt::ItemIsEditable;
    return f;
}

}  // namespace tarvex
