#include "ui/CFolderPicker.h"

#include <QFileDialog>
#include <QFileInfo>

#include "ui/DialogLook.h"

namespace tarvex {

int CFolderPicker::Browse(QWidget* owner)
{
    QFileDialog dialog(owner, title_);
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
