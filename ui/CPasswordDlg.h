#pragma once
// The password dialog. Set-password mode (before a save) asks for a password
// and its confirmation; enter-password mode (opening a protected pack) asks
// for the one password. The two 16-byte blocks derived from the text are
// read by the caller after the dialog ends; they stay zero when no password
// was given or the dialog was left with "不加密".
#include <QDialog>

#include "talk/Prompt.h"

class QLabel;

namespace tarvex {

class CFlatEdit;
class CSkinButton;

class CPasswordDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CPasswordDlg(PasswordMode mode, QWidget* parent = nullptr);

    PasswordMode Mode() const { return mode_; }
    const PasswordBlocks& Blocks() const { return blocks_; }

    void accept() override;

private:
    // The text as GBK bytes; reports and gives nothing when GBK cannot hold it.
    std::optional<std::string> GbkText(const QString& text);
    void Refuse(const QString& message, QWidget* focus);

    PasswordMode mode_;
    PasswordBlocks blocks_{};
    QLabel* intro_;
    CFlatEdit* password_;
    CFlatEdit* confirm_;
    CFlatEdit* openPassword_;
    CSkinButton* ok_;
    CSkinButton* cancel_;
};

}  // namespace tarvex
