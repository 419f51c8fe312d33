#include "ui/CommandTable.h"

#include <unordered_map>

#include "ui/CommandIds.h"

namespace tarvex {
namespace {

using Kind = MenuNode::Kind;

MenuNode Item(int id, std::string label)
{
    return {Kind::Command, id, std::move(label), {}};
}
MenuNode Separator()
{
    return {Kind::Separator, 0, {}, {}};
}
MenuNode Popup(std::string label, std::vector<MenuNode> children)
{
    return {Kind::Popup, 0, std::move(label), std::move(children)};
}

std::vector<MenuNode> BuildMainMenu()
{
    using namespace cmd;
    return {
        Popup("文件(&F)",
              {Item(kFileNew, "新建(&N)\tCtrl+N"), Item(kFileOpen, "打开(&O)...\tCtrl+O"),
               Item(kFileSave, "保存(&S)\tCtrl+S"), Item(kFileSaveAs, "另存为(&A)..."), Separator(),
               MenuNode{Kind::RecentFiles, kFileMruFirst, "最近文件", {}}, Separator(), Item(kAppExit, "退出(&X)")}),
        Popup("编辑(&E)",
              {Item(kEditUndo, "撤消(&U)\tCtrl+Z"), Separator(), Item(kEditCut, "剪切(&T)\tCtrl+X"),
               Item(kEditCopy, "复制(&C)\tCtrl+C"), Item(kEditPaste, "粘贴(&P)\tCtrl+V"), Separator(),
               Item(kSelectAll, "选择全部\tCtrl+A"), Separator(), Item(kNewFolder, "新建文件夹(&F)\tCtrl+F"),
               Item(kInsertFile, "插入文件(&I)\tCtrl+I"), Item(kDelete, "删除(&D)\tCtrl+D")}),
        Popup("查看(&V)", {Item(kViewLargeIcon, "大图标(&G)"), Item(kViewSmallIcon, "小图标(&M)"),
                           Item(kViewList, "列表(&L)"), Item(kViewDetails, "详细资料(&D)"), Separator(),
                           Item(kViewToolbar, "工具栏(&T)"), Item(kViewStatusBar, "状态栏(&S)")}),
        Popup("选项(&O)", {Item(kPlugins, "插件(&P)...")}),
        Popup("帮助(&H)", {Item(kAppAbout, "关于 Tarvex(&A)...")}),
    };
}

std::vector<MenuNode> BuildContextMenus()
{
    using namespace cmd;
    return {
        Popup("LVPOP", {Item(kNewFolder, "新建文件夹\t(&F)"), Item(kDelete, "删除文件夹\t(&D)"),
                        Item(kInsertFile, "添加文件\t(&A)"), Separator(), Item(kRenameFolder, "重命名\t(R)"),
                        Separator(), Item(kEditCut, "剪切\t(&X)"), Item(kEditCopy, "复制\t(&C)"),
                        Item(kEditPaste, "粘贴\t(&P)"), Separator(), Item(kShowId, "显示ID值")}),
        Popup("RVPOP",
              {Popup(std::string(kSchemeSubmenuLabel),
                     {Item(kSchemeNone, "不编码        (&N)\tAlt+N"), Item(kSchemeRle, "RLE编码      (&R)\tAlt+R"),
                      Item(kSchemeLz, "ZIV 编码      (&Z)\tAlt+Z"), Item(kSchemeOther, "其它编码...(&O)\tAlt+O")}),
               Item(kTestEncode, "测试编码\t(&G)"), Separator(), Item(kDelete, "删  除\t(&D)"),
               Item(kRenameItem, "重命名\t(&R)"), Separator(), Item(kEditCut, "剪  切\t(&T)"),
               Item(kEditCopy, "复  制\t(&C)"), Separator(), Item(kExtract, "解压缩...\t(&E)")}),
        Popup("RVPOPX", {Item(kNewFolder, "新建目录 (&F)"), Item(kInsertFile, "插入文件 (&I)"), Separator(),
                         Item(kEditPaste, "粘        贴 (&P)"), Separator(), Item(kSelectAll, "全        选(&A)"),
                         Item(kRefresh, "刷新列表(&R)")}),
    };
}

const std::unordered_map<int, std::string_view>& Strings()
{
    using namespace cmd;
    static const std::unordered_map<int, std::string_view> strings = {
        {kIdsAppTitle, "Tarvex"},
        {kIdsIdle, "就绪"},
        {kFileNew, "建立新文档\n新建"},
        {kFileOpen, "打开一个现有文档\n打开"},
        {kFileSave, "保存活动文档\n保存"},
        {kFileSaveAs, "将活动文档以一个新文件名保存\n另存为"},
        {kFilePrint, "打印活动文档\n打印"},
        {kFileMruFirst, "打开该文档"},
        {kFileMruFirst + 1, "打开该文档"},
        {kFileMruFirst + 2, "打开该文档"},
        {kFileMruLast, "打开该文档"},
        {kAppExit, "退出应用程序；提示保存文档\n退出"},
        {kEditUndo, "撤消最后一步操作\n撤消"},
        {kEditCut, "剪切被选对象并将其置于剪贴板上\n剪切"},
        {kEditCopy, "复制被选对象并将其置于剪贴板上\n复制"},
        {kEditPaste, "插入剪贴板内容\n粘贴"},
        {kSelectAll, "选中全部"},
        {kNewFolder, "新建一个目录夹"},
        {kInsertFile, "插入一个文件"},
        {kDelete, "删除选定目录或文件"},
        {kViewToolbar, "显示或隐藏工具栏\n显隐工具栏"},
        {kViewStatusBar, "显示或隐藏状态栏\n显隐状态栏"},
        {kPlugins, "选择可用的压缩方案插件。"},
        {kAppAbout, "显示程序信息，版本号和版权\n关于"},
        {kRenameItem, "重新给文件夹或文件命名"},
        {kTestEncode, "测试选定文件使用选定编码方案的压缩率"},
        {kSchemeNone, "当前文件不使用编码方案"},
        {kSchemeRle, "当前文件使用行程编码(RLE)方案"},
        {kSchemeLz, "当前文件使用Lempel-Ziv编码方案"},
        {kExtract, "解压缩选定的文件或文件夹"},
        {kRefresh, "刷新列表窗口，重新排列图标"},
        {kNextPane, "切换到下一个窗格\n下一窗格"},
        {kPrevPane, "切换回前一个窗格\n前一窗格"},
        {59137, "大写"},
        {59138, "数字"},
        {59139, "滚动"},
        {61204, "新建文件夹"},
        {61205, "内存不足，无法完成请求的操作！"},
    };
    return strings;
}

}  // namespace

const std::vector<MenuNode>& MainMenu()
{
    static const std::vector<MenuNode> menu = BuildMainMenu();
    return menu;
}

const MenuNode& ContextMenu(ContextPopup popup)
{
    static const std::vector<MenuNode> menus = BuildContextMenus();
    return menus[static_cast<size_t>(popup)];
}

const std::vector<Accelerator>& Accelerators()
{
    using namespace cmd;
    static const std::vector<Accelerator> table = {
        {"Ctrl+A", kSelectAll},       {"Ctrl+C", kEditCopy},     {"Ctrl+D", kDelete},     {"Ctrl+F", kNewFolder},
        {"Ctrl+I", kInsertFile},      {"Ctrl+N", kFileNew},      {"Alt+N", kSchemeNone},  {"Ctrl+O", kFileOpen},
        {"Alt+R", kSchemeRle},        {"Ctrl+S", kFileSave},     {"Ctrl+T", kTestEncode}, {"Ctrl+V", kEditPaste},
        {"Alt+Backspace", kEditUndo}, {"Shift+Del", kEditCut},   {"F6", kNextPane},       {"Shift+F6", kPrevPane},
        {"Ctrl+Ins", kEditCopy},      {"Shift+Ins", kEditPaste}, {"Ctrl+X", kEditCut},    {"Ctrl+Z", kEditUndo},
        {"Alt+Z", kSchemeLz},
    };
    return table;
}

const std::vector<int>& ToolbarCommands()
{
    using namespace cmd;
    static const std::vector<int> buttons = {
        kFileNew, kFileOpen,      kFileSave,      0,         kEditCut,     kEditCopy, kEditPaste, 0, kFilePrint,
        0,        kViewLargeIcon, kViewSmallIcon, kViewList, kViewDetails, kAppAbout};
    return buttons;
}

const std::vector<int>& MenuIconCommands()
{
    static const std::vector<int> cells = {57600, 57601, 57603, 57635, 57634, 57637, 57607, 57664,
                                           57648, 57650, 57651, 57652, 59648, 59649, 57606, 57604,
                                           57644, 57643, 57665, 57636, 57602, 57612, 57671};
    return cells;
}

std::string_view StringResource(int id)
{
    const auto& strings = Strings();
    const auto it = strings.find(id);
    return it == strings.end() ? std::string_view{} : it->second;
}

std::string StatusPrompt(int id)
{
    const std::string_view s = StringResource(id);
    return std::string(s.substr(0, s.find('\n')));
}

std::string Tooltip(int id)
{
    const std::string_view s = StringResource(id);
    const size_t nl = s.find('\n');
    return nl == std::string_view::npos ? std::string{} : std::string(s.substr(nl + 1));
}

}  // namespace tarvex
