#pragma once
// The main window: a 1 x 2 splitter with the folder tree left and the file
// list right, the menus, toolbar, accelerators and the status bar with its
// message pane and the three lock indicators, all built from the command
// table. It handles the view styles, the toolbar and status bar toggles and
// the pane switching.
#include <QMainWindow>
#include <map>

#include "ui/CommandRouter.h"

class QActionGroup;
class QLabel;
class QMenu;
class QSplitter;
class QToolBar;

namespace tarvex {

class CLeftView;
class CTarvexDoc;
class CTarvexView;

class CMainFrame final : public QMainWindow, public CommandHandler {
    Q_OBJECT
public:
    CMainFrame(CTarvexDoc& doc, CommandRouter& router);
    ~CMainFrame() override;

    CLeftView& LeftView() const { return *left_; }
    // The right pane when it is the file list.
    CTarvexView* RightPane() const { return right_; }
    QSplitter& Splitter() const { return *splitter_; }
    QToolBar& ToolBar() const { return *toolbar_; }
    QMenu* TopMenu(int index) const;
    // The shared action of a main-menu command, and of a toolbar button.
    QAction* MenuAction(int id) const;
    QAction* ToolbarAction(int id) const;

    // Rebuilds the recent-file part of the File menu.
    void SetRecentFiles(const QStringList& paths);
    // Sets every menu item and toolbar button as the router says now.
    void UpdateCommandUI();
    void UpdateTitle();
    void UpdateLockIndicators();

    bool CanHandle(int id) const override;
    CommandState Update(int id) override;
    void Execute(int id) override;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void BuildToolbar();
    void BuildStatusBar();
    void BuildAccelerators();
    void ClearOwnClipboardData();
    QAction* MakeMenuAction(const struct MenuNode& node);

    CTarvexDoc& doc_;
    CommandRouter& router_;
    QSplitter* splitter_;
    CLeftView* left_;
    CTarvexView* right_;
    QToolBar* toolbar_ = nullptr;
    QActionGroup* viewStyles_ = nullptr;
    std::map<int, QAction*> menuActions_;
    std::map<int, QAction*> toolbarActions_;
    QMenu* fileMenu_ = nullptr;
    QAction* recentPlaceholder_ = nullptr;
    std::vector<QAction*> recentActions_;
    QLabel* capsPane_ = nullptr;
    QLabel* numPane_ = nullptr;
    QLabel* scrollPane_ = nullptr;
};

}  // namespace tarvex
