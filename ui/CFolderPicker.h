#pragma once
// Asks for the folder that extraction writes into: a modal folder browser
// titled "选择目标文件夹" that gives the chosen folder's full path.
#include <QString>

class QWidget;

namespace tarvex {

class CFolderPicker {
public:
    CFolderPicker() : title_(QStringLiteral("选择目标文件夹")) {}

    // 1 when a folder was chosen and its path stored, 0 otherwise (cancel, or
    // a choice that is not a folder on disk).
    int Browse(QWidget* owner);
    const QString& ChosenPath() const { return chosenPath_; }
    const QString& Title() const { return title_; }

private:
    QString chosenPath_;
    QString title_;
};

}  // namespace tarvex
