#pragma once
// The About box: the program's name and version, the makers, the animated
// credits, the links to the home page and its forum, and the test-version
// note.
#include <QDialog>

namespace tarvex {

class CCreditsCtrl;
class CHyperLink;
class CSkinButton;

class CAboutDlg final : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kHomePage = "tarvex.example.org";
    static constexpr const char* kForum = "forum.tarvex.example.org";

    explicit CAboutDlg(QWidget* parent = nullptr);

    CCreditsCtrl& Credits() const { return *credits_; }
    CHyperLink& HomeLink() const { return *home_; }
    CHyperLink& ForumLink() const { return *forum_; }

private:
    CHyperLink* forum_;
    CHyperLink* home_;
    CCreditsCtrl* credits_;
    CSkinButton* ok_;
};

}  // namespace tarvex
