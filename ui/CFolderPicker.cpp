#include "ui/CFolderPicker.h"

#include <QFileDialog>
#include <QFileInfo>

#include "ui/DialogLook.h"

namespace tarvex {
namespace {

// The computer node and other places that are no folder on disk end the
// browse like Cancel, without a message (Qt would warn and stay open).
class FolderDialog final : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override
    {
        const QStringList chosen = selectedFiles();
        if (chosen.isEmpty() || chosen.front().isEmpty() || !QFileInfo(chosen.front()).isDir()) {
            reject();
            return;
        }
        QFileDialog::accept();
    }
};

}  // namespace

int CFolderPicker::Browse(QWidget* owner)
{
    FolderDialog dialog(owner, title_);
    dialog.setObjectName(QStringLiteral("folderPicker"));
    ApplyDialogLook(dialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted) return 0;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return 0;
    const QFileInfo info(chosen.front());
    if (!info.isDir()) return 0;
    chosenPath_ = info.absoluteFilePath();
    return 1;
}

}  // namespace tarvex
