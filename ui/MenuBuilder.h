#pragma once
// Builds Qt menus from the command table's menu nodes.
#include <QIcon>
#include <functional>

#include "ui/CommandTable.h"

class QAction;
class QMenu;
class QWidget;

namespace tarvex {

class CommandRouter;

// Appends the items to menu; makeAction gives the action of a command item
// (it may return a shared action). Pop-ups become sub-menus.
void FillMenu(QMenu& menu, const std::vector<MenuNode>& items,
              const std::function<QAction*(QMenu&, const MenuNode&)>& makeAction);

// A context menu built afresh from a pop-up of the table: its commands run
// through the router, with the states the router gives now, and show the
// toolbar pictures of their commands.
std::unique_ptr<QMenu> BuildContextMenu(ContextPopup popup, CommandRouter& router, QWidget* parent);

// Hands the status prompts of menu's items (and its sub-menus') to window's
// status bar: also for grey items, which Qt does not activate, and an empty
// prompt (the idle text) once the menu closes.
void ShowPromptsIn(QMenu& menu, QWidget& window);

// A fresh action for one command item that runs through the router.
QAction* MakeRoutedAction(QMenu& menu, int id, const QString& label, CommandRouter& router);

// The sub-menu with this label inside menu, or nullptr.
QMenu* FindSubmenu(QMenu& menu, const QString& label);

}  // namespace tarvex
