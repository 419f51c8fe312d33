#pragma once
// The find window: files of the pack whose names match a pattern typed
// into it ('*' and '?', letters of either case; a pattern without them is
// looked for anywhere in a name), listed with their folders as the pattern
// is typed. Choosing a file shows it in the main window: its folder in the
// tree, its row in the list.
#include <QAbstractTableModel>
#include <QIcon>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

#include "catalogue/Catalogue.h"

class QLabel;
class QLineEdit;
class QTreeView;

namespace tarvex {

// The files found, a row each: name and folder. A row names its entry by
// identity, so a row whose file has gone since shows nothing.
class FoundFilesModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kName, kFolder, kColumnCount };

    explicit FoundFilesModel(const Catalogue& catalogue, QObject* parent = nullptr);

    // One pass over the catalogue; an empty pattern finds nothing.
    void Find(const QString& pattern);
    // The entry of a row, while it is there: its index.
    std::optional<size_t> EntryOf(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Found {
        size_t index;
        uint64_t identity;
    };
    const FileEntry* EntryAt(int row) const;

    const Catalogue& catalogue_;
    std::vector<Found> found_;
    std::vector<QIcon> icons_;
};

class FindFilesWindow final : public QWidget {
    Q_OBJECT
public:
    FindFilesWindow(const Catalogue& catalogue, QWidget* owner);

    QLineEdit& Pattern() const { return *pattern_; }
    QTreeView& Results() const { return *results_; }
    FoundFilesModel& Found() const { return *model_; }
    // Finds again with the pattern as it is (the pack may have changed).
    void FindAgain();

signals:
    // A file was chosen (double click or Enter on its row).
    void fileChosen(size_t index);

private:
    void Choose(const QModelIndex& index);

    FoundFilesModel* model_;
    QLineEdit* pattern_;
    QTreeView* results_;
    QLabel* count_;
};

}  // namespace tarvex
