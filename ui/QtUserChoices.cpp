#include "ui/QtUserChoices.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>

#include "ui/CFolderPicker.h"
#include "ui/DialogLook.h"

namespace tarvex {
namespace {

const QString kPackFilter = QStringLiteral("ZV文件包(*.epk)");

std::string DiskPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

}  // namespace

std::vector<std::string> QtUserChoices::ChooseFilesToInsert()
{
    QFileDialog dialog(owner_, QStringLiteral("打开"));
    dialog.setObjectName(QStringLiteral("insertFilesDialog"));
    ApplyDialogLook(dialog);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    // Every file is offered, with an extension or without one; the type
    // list reads "所有文件(*.*)" all the same.
    dialog.setNameFilter(QStringLiteral("所有文件(*)"));
    if (auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
        types->setItemText(0, QStringLiteral("所有文件(*.*)"));
    std::vector<std::string> paths;
    if (dialog.exec() != QDialog::Accepted) return paths;
    for (const QString& path : dialog.selectedFiles()) paths.push_back(DiskPath(path));
    return paths;
}

std::optional<std::string> QtUserChoices::ChoosePackToOpen()
{
    QFileDialog dialog(owner_, QStringLiteral("打开"));
    dialog.setObjectName(QStringLiteral("openDialog"));
    ApplyDialogLook(dialog);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(kPackFilter);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return DiskPath(dialog.selectedFiles().front());
}

std::optional<std::string> QtUserChoices::ChooseSavePath(const std::string& proposed)
{
    QFileDialog dialog(owner_, QStringLiteral("另存为"));
    dialog.setObjectName(QStringLiteral("saveAsDialog"));
    ApplyDialogLook(dialog);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(kPackFilter);
    dialog.setDefaultSuffix(QStringLiteral("epk"));
    if (!proposed.empty()) dialog.selectFile(QFile::decodeName(QByteArray::fromStdString(proposed)));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return DiskPath(dialog.selectedFiles().front());
}

std::optional<std::string> QtUserChoices::ChooseTargetFolder()
{
    CFolderPicker picker;
    if (picker.Browse(owner_) != 1) return std::nullopt;
    return DiskPath(picker.ChosenPath());
}

}  // namespace tarvex
