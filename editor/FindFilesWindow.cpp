#include "editor/FindFilesWindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>
#include <QVBoxLayout>

#include "base/GbkText.h"
#include "catalogue/NamePattern.h"
#include "catalogue/PackPaths.h"
#include "editor/IconForExtension.h"
#include "ui/Artwork.h"

namespace tarvex {
namespace {

constexpr const char* kTitle = "查找文件";
constexpr const char* kPatternLabel = "文件名(&N)：";
constexpr const char* kPatternHint = "可以使用 * 和 ?，不区分大小写";
constexpr const char* kFoundCount = "找到%1个文件";
constexpr const char* kHeaders[FoundFilesModel::kColumnCount] = {"名称", "所在文件夹"};

}  // namespace

FoundFilesModel::FoundFilesModel(const Catalogue& catalogue, QObject* parent)
    : QAbstractTableModel(parent), catalogue_(catalogue), icons_(art::FileKindIcons(false))
{
}

void FoundFilesModel::Find(const QString& pattern)
{
    beginResetModel();
    found_.clear();
    // A character GBK cannot hold is in no name of the pack.
    const std::optional<std::string> gbk = Utf8ToGbk(pattern.toStdString());
    if (gbk) {
        for (size_t index : FindEntries(catalogue_, NamePattern(*gbk)))
            found_.push_back({index, catalogue_.Entries()[index].identity});
    }
    endResetModel();
}

const FileEntry* FoundFilesModel::EntryAt(int row) const
{
    const std::optional<size_t> index = EntryOf(row);
    return index ? &catalogue_.Entries()[*index] : nullptr;
}

std::optional<size_t> FoundFilesModel::EntryOf(int row) const
{
    if (row < 0 || static_cast<size_t>(row) >= found_.size()) return std::nullopt;
    const Found& f = found_[static_cast<size_t>(row)];
    return catalogue_.EntryIndexOf(f.identity, f.index);
}

int FoundFilesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(found_.size());
}

int FoundFilesModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant FoundFilesModel::data(const QModelIndex& index, int role) const
{
    const FileEntry* entry = index.isValid() ? EntryAt(index.row()) : nullptr;
    if (!entry) return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        if (index.column() == kName) return QString::fromStdString(GbkToUtf8Lossy(entry->name));
        // Looked up as it is now: a save numbers the folders afresh.
        const Folder* folder = catalogue_.FolderById(entry->folderId);
        return folder ? QString::fromStdString(ShownPath(*folder)) : QString();
    }
    if (role == Qt::DecorationRole && index.column() == kName) {
        const auto image = static_cast<size_t>(IconForExtension(entry->name));
        return image < icons_.size() ? icons_[image] : QIcon();
    }
    return {};
}

QVariant FoundFilesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumnCount)
        return {};
    return QString::fromUtf8(kHeaders[section]);
}

FindFilesWindow::FindFilesWindow(const Catalogue& catalogue, QWidget* owner)
    : QWidget(owner, Qt::Window),
      model_(new FoundFilesModel(catalogue, this)),
      pattern_(new QLineEdit(this)),
      results_(new QTreeView(this)),
      count_(new QLabel(this))
{
    setObjectName(QStringLiteral("findWindow"));
    setWindowTitle(QString::fromUtf8(kTitle));
    pattern_->setObjectName(QStringLiteral("findPattern"));
    pattern_->setPlaceholderText(QString::fromUtf8(kPatternHint));
    results_->setObjectName(QStringLiteral("findResults"));
    results_->setModel(model_);
    results_->setRootIsDecorated(false);
    results_->setUniformRowHeights(true);
    results_->setAllColumnsShowFocus(true);
    results_->setSelectionBehavior(QAbstractItemView::SelectRows);
    results_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    results_->setColumnWidth(FoundFilesModel::kName, 220);
    count_->setObjectName(QStringLiteral("findCount"));

    auto* label = new QLabel(QString::fromUtf8(kPatternLabel), this);
    label->setBuddy(pattern_);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(pattern_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(results_, 1);
    layout->addWidget(count_);
    resize(520, 420);

    connect(pattern_, &QLineEdit::textChanged, this, &FindFilesWindow::FindAgain);
    connect(results_, &QAbstractItemView::activated, this, &FindFilesWindow::Choose);
    // Enter in the pattern chooses the first file found.
    connect(pattern_, &QLineEdit::returnPressed, this, [this] { Choose(model_->index(0, 0)); });
    FindAgain();
}

void FindFilesWindow::FindAgain()
{
    model_->Find(pattern_->text());
    count_->setText(QString::fromUtf8(kFoundCount).arg(model_->rowCount()));
}

void FindFilesWindow::Choose(const QModelIndex& index)
{
    const std::optional<size_t> entry = model_->EntryOf(index.row());
    if (entry) {
        emit fileChosen(*entry);
    } else if (index.isValid()) {
        // Gone since it was found: the list shows what there is now.
        FindAgain();
    }
}

}  // namespace tarvex
