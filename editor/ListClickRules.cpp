#include "editor/ListClickRules.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QMouseEvent>

namespace tarvex {
namespace {

bool IsPlainLeft(const QMouseEvent& event)
{
    return event.button() == Qt::LeftButton && !(event.modifiers() & (Qt::ControlModifier | Qt::ShiftModifier));
}

}  // namespace

ListClickRules::ListClickRules(QAbstractItemView& view, Rename rename)
    : QObject(&view), view_(view), rename_(std::move(rename))
{
    renameDelay_.setSingleShot(true);
    connect(&renameDelay_, &QTimer::timeout, this, &ListClickRules::RenameIfStillAlone);
    view.viewport()->installEventFilter(this);
}

bool ListClickRules::eventFilter(QObject*, QEvent* event)
{
    // Only mouse events reach the view here: others come also while it is destroyed.
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            renameDelay_.stop();
            pressed_ = QPersistentModelIndex();
            if (IsPlainLeft(*mouse)) Pressed(view_.indexAt(mouse->position().toPoint()));
            break;
        }
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (IsPlainLeft(*mouse)) Released(view_.indexAt(mouse->position().toPoint()));
            pressed_ = QPersistentModelIndex();
            break;
        }
        case QEvent::MouseButtonDblClick:
            renameDelay_.stop();
            pressed_ = QPersistentModelIndex();
            break;
        default:
            break;
    }
    // The view handles every event as well.
    return false;
}

void ListClickRules::Pressed(const QModelIndex& index)
{
    if (!index.isValid()) return;
    const QItemSelectionModel& selection = *view_.selectionModel();
    pressed_ = index;
    pressedAlone_ = SelectedAlone(index.row());
    pressedAmongMany_ = !pressedAlone_ && selection.isRowSelected(index.row(), index.parent());
}

void ListClickRules::Released(const QModelIndex& index)
{
    if (!pressed_.isValid() || !index.isValid() || index.row() != pressed_.row()) return;
    if (pressedAmongMany_) {
        view_.selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else if (pressedAlone_) {
        toRename_ = pressed_;
        renameDelay_.start(QApplication::doubleClickInterval());
    }
}

void ListClickRules::RenameIfStillAlone()
{
    // Nothing is renamed when the rows, the selection or the focus changed meanwhile.
    if (!toRename_.isValid()) return;
    const int row = toRename_.row();
    toRename_ = QPersistentModelIndex();
    if (SelectedAlone(row) && view_.currentIndex().row() == row && view_.hasFocus()) rename_(row);
}

bool ListClickRules::SelectedAlone(int row) const
{
    const QItemSelection selected = view_.selectionModel()->selection();
    if (selected.isEmpty()) return false;
    for (const QItemSelectionRange& range : selected)
        if (range.top() != row || range.bottom() != row) return false;
    return true;
}

}  // namespace tarvex
