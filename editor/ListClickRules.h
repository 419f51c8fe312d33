#pragma once
// Plain clicks (no Ctrl, no Shift) on the file list's rows, as file managers
// take them. A click on a row of a many-row selection selects that row
// alone: what the user acts on next is what the list shows selected. A second
// click on a row that was already selected alone edits its name, once the
// double-click time has passed with no second press (a double click opens
// the row instead). Ctrl and Shift clicks are left to the view.
#include <QObject>
#include <QPersistentModelIndex>
#include <QTimer>
#include <functional>

class QAbstractItemView;

namespace tarvex {

class ListClickRules final : public QObject {
    Q_OBJECT
public:
    using Rename = std::function<void(int row)>;

    // Watches the view's viewport; rename edits the name of a row.
    ListClickRules(QAbstractItemView& view, Rename rename);

protected:
    bool eventFilter(QObject*, QEvent* event) override;

private:
    void Pressed(const QModelIndex& index);
    void Released(const QModelIndex& index);
    void RenameIfStillAlone();
    // Whether row is selected and no other row is.
    bool SelectedAlone(int row) const;

    QAbstractItemView& view_;
    Rename rename_;
    // The row of the last plain press, and how it was selected then.
    QPersistentModelIndex pressed_;
    bool pressedAlone_ = false;
    bool pressedAmongMany_ = false;
    // The row whose name is edited when renameDelay_ runs out.
    QPersistentModelIndex toRename_;
    QTimer renameDelay_;
};

}  // namespace tarvex
