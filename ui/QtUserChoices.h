#pragma once
// The real dialogs behind IUserChoices: the open and save dialogs with the
// pack filter, the insert-files dialog and the folder picker.
#include <QPointer>
#include <QWidget>

#include "ui/UserChoices.h"

namespace tarvex {

class QtUserChoices final : public IUserChoices {
public:
    void SetOwner(QWidget* owner) { owner_ = owner; }

    std::vector<std::string> ChooseFilesToInsert() override;
    std::optional<std::string> ChoosePackToOpen() override;
    std::optional<std::string> ChooseSavePath(const std::string& proposed) override;
    std::optional<std::string> ChooseTargetFolder() override;

private:
    QPointer<QWidget> owner_;
};

}  // namespace tarvex
