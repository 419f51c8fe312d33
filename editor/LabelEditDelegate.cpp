#include "editor/LabelEditDelegate.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <QValidator>

#include "base/GbkText.h"
#include "catalogue/Catalogue.h"

namespace tarvex {
namespace {

class NameFieldValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override { return FitsNameField(input) ? Acceptable : Invalid; }
};

}  // namespace

bool FitsNameField(const QString& text)
{
    return Utf8ToGbkLossy(text.toStdString()).size() <= kMaxNameBytes;
}

LabelEditDelegate::LabelEditDelegate(KeyOf keyOf, EndEdit onEnd, QObject* parent)
    : QStyledItemDelegate(parent), keyOf_(std::move(keyOf)), onEnd_(std::move(onEnd))
{
    connect(this, &QAbstractItemDelegate::closeEditor, this, &LabelEditDelegate::EditorClosed);
}

QWidget* LabelEditDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QStringLiteral("labelEditor"));
    edit->setValidator(new NameFieldValidator(edit));
    editor_ = edit;
    key_ = keyOf_(index);
    typed_.reset();
    return edit;
}

void LabelEditDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        edit->setText(index.data(Qt::EditRole).toString());
        edit->selectAll();
    }
}

void LabelEditDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex&) const
{
    // The model is not written here: the view's rename rules decide.
    if (editor == editor_)
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) typed_ = edit->text();
}

bool LabelEditDelegate::eventFilter(QObject* object, QEvent* event)
{
    // Tab ends the edit like Enter instead of moving to another item.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
            auto* editor = qobject_cast<QWidget*>(object);
            emit commitData(editor);
            emit closeEditor(editor, QAbstractItemDelegate::SubmitModelCache);
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

void LabelEditDelegate::EditorClosed(QWidget* editor, QAbstractItemDelegate::EndEditHint)
{
    if (!editor || editor != editor_) return;
    editor_.clear();
    const quint64 key = key_;
    const std::optional<QString> typed = typed_;
    typed_.reset();
    QTimer::singleShot(0, this, [this, key, typed] { onEnd_(key, typed); });
}

}  // namespace tarvex
