#pragma once
// The command table: every menu, menu item, context menu, accelerator and
// toolbar button of the editor with its command identifier, and the string
// table that gives each command its status-bar prompt and toolbar tooltip.
// Menus, toolbar, shortcuts and status texts are all built from this data.
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

struct MenuNode {
    enum class Kind {
        Command,
        Separator,
        Popup,
        RecentFiles,  // the recent-file list; a grey placeholder while it is empty
    };
    Kind kind = Kind::Command;
    int id = 0;                      // command identifier of a Command or RecentFiles item
    std::string label;               // UTF-8, '\t' before the accelerator column, '&' before the mnemonic
    std::vector<MenuNode> children;  // of a Popup
};

// The three pop-ups of the context menu resource.
enum class ContextPopup { TreeItem, ListItem, ListSpace };

struct Accelerator {
    std::string_view keys;  // in QKeySequence's portable text
    int id;
};

// The top-level pop-ups of the main menu, left to right.
const std::vector<MenuNode>& MainMenu();
// "LVPOP", "RVPOP" or "RVPOPX".
const MenuNode& ContextMenu(ContextPopup popup);
// The sub-menu "选择编码\t(&S)" of RVPOP, where the plug-in schemes are listed.
inline constexpr std::string_view kSchemeSubmenuLabel = "选择编码\t(&S)";

// The accelerator table, in resource order.
const std::vector<Accelerator>& Accelerators();
// The toolbar's commands left to right; 0 is a separator.
const std::vector<int>& ToolbarCommands();
// Which command each cell of the menu icon strip belongs to.
const std::vector<int>& MenuIconCommands();

// The string with this number ("prompt\ntooltip" for commands); empty when
// the table has none.
std::string_view StringResource(int id);
// The part before "\n": the status-bar prompt.
std::string StatusPrompt(int id);
// The part after "\n": the toolbar tooltip.
std::string Tooltip(int id);

}  // namespace tarvex
