#pragma once
// The label editor of the tree and the list: a line edit that takes at most
// 255 bytes of GBK text. When editing ends the typed text (or nothing, for a
// cancelled edit) goes to the view's rename rules through a queued call, so
// that their messages and a reopened editor come after the editor has closed.
// The edited item is named by a key the view gives it (a folder's handle, an
// entry's index) rather than by its row: a click elsewhere that ends the edit
// may rebuild the rows before the rules run.
#include <QPointer>
#include <QStyledItemDelegate>
#include <functional>
#include <optional>

namespace tarvex {

class LabelEditDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using KeyOf = std::function<quint64(const QModelIndex&)>;
    using EndEdit = std::function<void(quint64 key, const std::optional<QString>& typed)>;

    LabelEditDelegate(KeyOf keyOf, EndEdit onEnd, QObject* parent);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    bool IsEditing() const { return !editor_.isNull(); }

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    void EditorClosed(QWidget* editor, QAbstractItemDelegate::EndEditHint hint);

    KeyOf keyOf_;
    EndEdit onEnd_;
    // One edit at a time: the editor, its item and the text it committed.
    mutable QPointer<QWidget> editor_;
    mutable quint64 key_ = 0;
    mutable std::optional<QString> typed_;
};

// Whether text fits a name field: at most 255 bytes as GBK.
bool FitsNameField(const QString& text);

}  // namespace tarvex
