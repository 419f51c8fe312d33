// The command table against the editor's published menus, accelerators,
// prompts and toolbar, and the router's enabled and checked states.
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <set>

#include "base/GbkText.h"
#include "editor/CLeftView.h"
#include "editor/CTarvexDoc.h"
#include "editor/CTarvexView.h"
#include "editor/ClipboardFormat.h"
#include "shell/CMainFrame.h"
#include "tests/gui/EditorHarness.h"
#include "ui/CommandIds.h"
#include "ui/CommandTable.h"
#include "ui/MenuBuilder.h"

namespace tarvex::test {
namespace {

struct Item {
    QString label;  // "-" for a separator
    int id;
};

// The items of a menu as the user sees them: label and command.
std::vector<Item> ItemsOf(const QMenu& menu)
{
    std::vector<Item> items;
    for (QAction* action : menu.actions()) {
        if (!action->isVisible()) continue;
        if (action->isSeparator()) {
            items.push_back({QStringLiteral("-"), 0});
        } else {
            items.push_back({action->text(), action->menu() ? -1 : action->data().toInt()});
        }
    }
    return items;
}

void CompareItems(const std::vector<Item>& actual, const std::vector<Item>& expected)
{
    QCOMPARE(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        QCOMPARE(actual[i].label, expected[i].label);
        if (expected[i].id != 0) QCOMPARE(actual[i].id, expected[i].id);
    }
}

const Item kSep{QStringLiteral("-"), 0};

void ClearRecentFiles()
{
    QSettings(QStringLiteral("@Z--V Studio"), QStringLiteral("Tarvex")).remove(QStringLiteral("Recent File List"));
}

}  // namespace

class CommandTableTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QuietOffscreenNotices(); }
    void init() { ClearRecentFiles(); }

    void mainMenuShowsEveryItemWithItsLabelAndCommand()
    {
        Editor editor;
        const QList<QAction*> tops = editor.Frame().menuBar()->actions();
        QStringList titles;
        for (QAction* top : tops) titles << top->text();
        QCOMPARE(titles, (QStringList{"文件(&F)", "编辑(&E)", "查看(&V)", "选项(&O)", "帮助(&H)"}));

        CompareItems(ItemsOf(*tops[0]->menu()), {{"新建(&N)\tCtrl+N", 57600},
                                                 {"打开(&O)...\tCtrl+O", 57601},
                                                 {"保存(&S)\tCtrl+S", 57603},
                                                 {"另存为(&A)...", 57604},
                                                 kSep,
                                                 {"最近文件", 0},
                                                 kSep,
                                                 {"退出(&X)", 57665}});
        CompareItems(ItemsOf(*tops[1]->menu()), {{"撤消(&U)\tCtrl+Z", 57643},
                                                 kSep,
                                                 {"剪切(&T)\tCtrl+X", 57635},
                                                 {"复制(&C)\tCtrl+C", 57634},
                                                 {"粘贴(&P)\tCtrl+V", 57637},
                                                 kSep,
                                                 {"选择全部\tCtrl+A", 32796},
                                                 kSep,
                                                 {"新建文件夹(&F)\tCtrl+F", 32782},
                                                 {"插入文件(&I)\tCtrl+I", 32783},
                                                 {"删除(&D)\tCtrl+D", 32784}});
        CompareItems(ItemsOf(*tops[2]->menu()), {{"大图标(&G)", 59409},
                                                 {"小图标(&M)", 59408},
                                                 {"列表(&L)", 59410},
                                                 {"详细资料(&D)", 59411},
                                                 kSep,
                                                 {"工具栏(&T)", 59392},
                                                 {"状态栏(&S)", 59393}});
        CompareItems(ItemsOf(*tops[3]->menu()), {{"插件(&P)...", 32775}});
        CompareItems(ItemsOf(*tops[4]->menu()), {{"关于 Tarvex(&A)...", 57664}});

        // The placeholder of the empty recent-file list is grey.
        for (QAction* action : tops[0]->menu()->actions())
            if (action->text() == QStringLiteral("最近文件")) QVERIFY(!action->isEnabled());
    }

    void contextMenusKeepTheirLabelsAndRunsOfBlanks()
    {
        Editor editor;
        CommandRouter& router = editor.App().Router();
        const auto lvpop = BuildContextMenu(ContextPopup::TreeItem, router, nullptr);
        CompareItems(ItemsOf(*lvpop), {{"新建文件夹\t(&F)", 32782},
                                       {"删除文件夹\t(&D)", 32784},
                                       {"添加文件\t(&A)", 32783},
                                       kSep,
                                       {"重命名\t(R)", 32781},
                                       kSep,
                                       {"剪切\t(&X)", 57635},
                                       {"复制\t(&C)", 57634},
                                       {"粘贴\t(&P)", 57637},
                                       kSep,
                                       {"显示ID值", 32786}});
        const auto rvpop = BuildContextMenu(ContextPopup::ListItem, router, nullptr);
        CompareItems(ItemsOf(*rvpop), {{"选择编码\t(&S)", -1},
                                       {"测试编码\t(&G)", 32788},
                                       kSep,
                                       {"删  除\t(&D)", 32784},
                                       {"重命名\t(&R)", 32785},
                                       kSep,
                                       {"剪  切\t(&T)", 57635},
                                       {"复  制\t(&C)", 57634},
                                       kSep,
                                       {"解压缩...\t(&E)", 32795}});
        QMenu* schemes = FindSubmenu(*rvpop, QStringLiteral("选择编码\t(&S)"));
        QVERIFY(schemes);
        CompareItems(ItemsOf(*schemes), {{"不编码        (&N)\tAlt+N", 32789},
                                         {"RLE编码      (&R)\tAlt+R", 32790},
                                         {"ZIV 编码      (&Z)\tAlt+Z", 32793},
                                         {"其它编码...(&O)\tAlt+O", 32792}});
        const auto rvpopx = BuildContextMenu(ContextPopup::ListSpace, router, nullptr);
        CompareItems(ItemsOf(*rvpopx), {{"新建目录 (&F)", 32782},
                                        {"插入文件 (&I)", 32783},
                                        kSep,
                                        {"粘        贴 (&P)", 57637},
                                        kSep,
                                        {"全        选(&A)", 32796},
                                        {"刷新列表(&R)", 32797}});
    }

    void acceleratorsFollowTheTableInOrder()
    {
        const std::vector<std::pair<QString, int>> expected = {
            {"Ctrl+A", 32796},   {"Ctrl+C", 57634},   {"Ctrl+D", 32784},        {"Ctrl+F", 32782},    {"Ctrl+I", 32783},
            {"Ctrl+N", 57600},   {"Alt+N", 32789},    {"Ctrl+O", 57601},        {"Alt+R", 32790},     {"Ctrl+S", 57603},
            {"Ctrl+T", 32788},   {"Ctrl+V", 57637},   {"Alt+Backspace", 57643}, {"Shift+Del", 57635}, {"F6", 57680},
            {"Shift+F6", 57681}, {"Ctrl+Ins", 57634}, {"Shift+Ins", 57637},     {"Ctrl+X", 57635},    {"Ctrl+Z", 57643},
            {"Alt+Z", 32793}};
        const std::vector<Accelerator>& table = Accelerators();
        QCOMPARE(table.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            QCOMPARE(QKeySequence(QString::fromUtf8(table[i].keys.data(), table[i].keys.size())),
                     QKeySequence(expected[i].first));
            QCOMPARE(table[i].id, expected[i].second);
        }
        // Every accelerator is a shortcut of the main window; none for 32792.
        Editor editor;
        QList<QKeySequence> keys;
        for (const QShortcut* shortcut : editor.Frame().findChildren<QShortcut*>()) keys << shortcut->key();
        for (const auto& [key, id] : expected) QVERIFY2(keys.contains(QKeySequence(key)), qPrintable(key));
        QVERIFY(!keys.contains(QKeySequence(QStringLiteral("Alt+O"))));
    }

    void promptsAndTooltips_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<QString>("tooltip");
        const auto row = [](int id, const char* prompt, const char* tooltip) {
            QTest::addRow("%d", id) << id << QString::fromUtf8(prompt) << QString::fromUtf8(tooltip);
        };
        row(57600, "建立新文档", "新建");
        row(57601, "打开一个现有文档", "打开");
        row(57603, "保存活动文档", "保存");
        row(57604, "将活动文档以一个新文件名保存", "另存为");
        row(57616, "打开该文档", "");
        row(57665, "退出应用程序；提示保存文档", "退出");
        row(57643, "撤消最后一步操作", "撤消");
        row(57635, "剪切被选对象并将其置于剪贴板上", "剪切");
        row(57634, "复制被选对象并将其置于剪贴板上", "复制");
        row(57637, "插入剪贴板内容", "粘贴");
        row(32796, "选中全部", "");
        row(32782, "新建一个目录夹", "");
        row(32783, "插入一个文件", "");
        row(32784, "删除选定目录或文件", "");
        row(59409, "", "");
        row(59392, "显示或隐藏工具栏", "显隐工具栏");
        row(59393, "显示或隐藏状态栏", "显隐状态栏");
        row(32775, "选择可用的压缩方案插件。", "");
        row(57664, "显示程序信息，版本号和版权", "关于");
        row(32781, "", "");
        row(32785, "重新给文件夹或文件命名", "");
        row(32786, "", "");
        row(32788, "测试选定文件使用选定编码方案的压缩率", "");
        row(32789, "当前文件不使用编码方案", "");
        row(32790, "当前文件使用行程编码(RLE)方案", "");
        row(32793, "当前文件使用Lempel-Ziv编码方案", "");
        row(32792, "", "");
        row(32795, "解压缩选定的文件或文件夹", "");
        row(32797, "刷新列表窗口，重新排列图标", "");
        row(57680, "切换到下一个窗格", "下一窗格");
        row(57681, "切换回前一个窗格", "前一窗格");
    }

    void promptsAndTooltips()
    {
        QFETCH(int, id);
        QFETCH(QString, prompt);
        QFETCH(QString, tooltip);
        QCOMPARE(QString::fromStdString(StatusPrompt(id)), prompt);
        QCOMPARE(QString::fromStdString(Tooltip(id)), tooltip);
    }

    void menuItemsAndToolbarButtonsCarryThePrompts()
    {
        Editor editor;
        QCOMPARE(editor.Frame().MenuAction(57603)->statusTip(), QStringLiteral("保存活动文档"));
        QCOMPARE(editor.Frame().ToolbarAction(57603)->toolTip(), QStringLiteral("保存"));
        QCOMPARE(editor.Frame().ToolbarAction(57607)->toolTip(), QStringLiteral("打印"));
        QCOMPARE(QString::fromStdString(std::string(StringResource(61204))), QStringLiteral("新建文件夹"));
        QCOMPARE(editor.Frame().statusBar()->currentMessage(), QStringLiteral("就绪"));
    }

    // A grey item shows its prompt while the pointer is over it, as the
    // others do; the idle text comes back when the menu closes.
    void greyMenuItemsShowTheirPrompts_data()
    {
        QTest::addColumn<int>("menu");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("prompt");
        QTest::addRow("undo") << 1 << 57643 << QStringLiteral("撤消最后一步操作");
        QTest::addRow("paste") << 1 << 57637 << QStringLiteral("插入剪贴板内容");
        QTest::addRow("select all") << 1 << 32796 << QStringLiteral("选中全部");
        QTest::addRow("no recent file") << 0 << 57616 << QStringLiteral("打开该文档");
    }

    void greyMenuItemsShowTheirPrompts()
    {
        QFETCH(int, menu);
        QFETCH(int, id);
        QFETCH(QString, prompt);
        QApplication::clipboard()->clear();
        Editor editor;
        editor.Tree().setFocus();
        Editor::Settle();
        QMenu& shown = *editor.Frame().TopMenu(menu);
        shown.popup(editor.Frame().mapToGlobal(QPoint(10, 10)));
        QTRY_VERIFY(shown.isVisible());
        QAction* item = nullptr;
        for (QAction* a : shown.actions())
            if (a->isVisible() && a->data().toInt() == id) item = a;
        QVERIFY(item && !item->isEnabled());
        QTest::mouseMove(&shown, shown.actionGeometry(item).center());
        QCOMPARE(editor.Frame().statusBar()->currentMessage(), prompt);
        shown.hide();
        QCOMPARE(editor.Frame().statusBar()->currentMessage(), QStringLiteral("就绪"));
    }

    void toolbarButtonsInOrder()
    {
        Editor editor;
        std::vector<int> ids;
        for (QAction* action : editor.Frame().ToolBar().actions())
            ids.push_back(action->isSeparator() ? 0 : action->data().toInt());
        QCOMPARE(ids, (std::vector<int>{57600, 57601, 57603, 0, 57635, 57634, 57637, 0, 57607, 0, 59409, 59408, 59410,
                                        59411, 57664}));
        for (QAction* action : editor.Frame().ToolBar().actions())
            if (!action->isSeparator()) QVERIFY(!action->icon().isNull());
    }

    void menuIconsOnlyForTheListedCommands()
    {
        Editor editor;
        std::set<int> withIcon;
        for (QAction* top : editor.Frame().menuBar()->actions())
            for (QAction* action : top->menu()->actions())
                if (!action->icon().isNull()) withIcon.insert(action->data().toInt());
        QCOMPARE(withIcon, (std::set<int>{57600, 57601, 57603, 57604, 57643, 57635, 57634, 57637, 57665, 57664}));
    }

    void enabledStatesFollowTheFocusedView_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<bool>("inTree");
        QTest::addColumn<bool>("inList");
        const auto row = [](int id, bool tree, bool list) { QTest::addRow("%d", id) << id << tree << list; };
        for (int id : {57600, 57601, 57603, 57604, 57665, 32782, 32783, 32784, 59409, 59408, 59410, 59411, 59392, 59393,
                       57680, 57681, 32775})
            row(id, true, true);
        for (int id : {57643, 57607}) row(id, false, false);
        row(57664, true, true);  // the About box
        row(32788, true, true);  // the encode test follows the list's selection, like extraction
        for (int id : {32789, 32790, 32793, 32792}) row(id, false, true);
        row(40000, false, false);  // no plug-in slot yet
        row(32796, false, true);  // select all: the file list only
        row(32785, false, true);
        row(32797, false, true);
        row(32781, true, false);
        row(32786, true, false);
        row(32795, true, true);    // extraction follows the list's selection, whichever view has the focus
        row(57616, false, false);  // the recent-file list is empty
    }

    void enabledStatesFollowTheFocusedView()
    {
        QFETCH(int, id);
        QFETCH(bool, inTree);
        QFETCH(bool, inList);
        Editor editor;
        editor.Insert({{"a.txt", "a"}});
        editor.List().SelectRow(0);
        editor.Tree().setFocus();
        Editor::Settle();
        QCOMPARE(editor.App().Router().State(id).enabled, inTree);
        editor.List().setFocus();
        Editor::Settle();
        QCOMPARE(editor.App().Router().State(id).enabled, inList);
        // The menu item shows the same state when its menu opens.
        if (QAction* action = editor.Frame().MenuAction(id)) {
            editor.Frame().UpdateCommandUI();
            QCOMPARE(action->isEnabled(), inList);
        }
    }

    void viewStylesCarryExactlyOneRadioMark()
    {
        Editor editor;
        CMainFrame& frame = editor.Frame();
        const auto marked = [&frame] {
            frame.UpdateCommandUI();
            std::vector<int> ids;
            for (int id : {59409, 59408, 59410, 59411})
                if (frame.MenuAction(id)->isChecked()) ids.push_back(id);
            return ids;
        };
        QCOMPARE(marked(), std::vector<int>{59411});
        QCOMPARE(editor.List().ViewStyle(), CTarvexView::kReport);
        const std::vector<std::pair<int, CTarvexView::Style>> styles = {{59409, CTarvexView::kIcon},
                                                                        {59408, CTarvexView::kSmallIcon},
                                                                        {59410, CTarvexView::kList},
                                                                        {59410, CTarvexView::kList},
                                                                        {59411, CTarvexView::kReport}};
        for (const auto& [id, style] : styles) {
            QVERIFY(editor.Run(id));
            QCOMPARE(editor.List().ViewStyle(), style);
            QCOMPARE(marked(), std::vector<int>{id});
            QVERIFY(frame.ToolbarAction(id)->isChecked());
        }
    }

    void undoAndPrintStayDisabled()
    {
        Editor editor;
        editor.Insert({{"a.txt", "a"}});
        for (QWidget* focus : {static_cast<QWidget*>(&editor.Tree()), static_cast<QWidget*>(&editor.List())}) {
            focus->setFocus();
            Editor::Settle();
            editor.Frame().UpdateCommandUI();
            QVERIFY(!editor.Frame().MenuAction(57643)->isEnabled());
            QVERIFY(!editor.Frame().ToolbarAction(57607)->isEnabled());
            QVERIFY(!editor.Run(57643));
            QTest::keySequence(focus, QKeySequence(QStringLiteral("Ctrl+Z")));
        }
        QVERIFY(editor.prompt.messages.empty());
    }

    void pluginsItemIsEnabledAndDoesNothing()
    {
        Editor editor;
        for (QWidget* focus : {static_cast<QWidget*>(&editor.Tree()), static_cast<QWidget*>(&editor.List())}) {
            focus->setFocus();
            Editor::Settle();
            QVERIFY(editor.Run(32775));
        }
        QVERIFY(!editor.Doc().IsModified());
        QVERIFY(editor.prompt.messages.empty());
    }

    void selectAllActsOnlyInTheList()
    {
        Editor editor;
        editor.Insert({{"a.txt", "a"}, {"b.txt", "b"}});
        editor.Tree().setFocus();
        Editor::Settle();
        QTest::keySequence(&editor.Tree(), QKeySequence(QStringLiteral("Ctrl+A")));
        Editor::Settle();
        QVERIFY(editor.List().SelectedRows().empty());
        editor.List().setFocus();
        Editor::Settle();
        QTest::keySequence(&editor.List().CurrentView(), QKeySequence(QStringLiteral("Ctrl+A")));
        Editor::Settle();
        QCOMPARE(editor.List().SelectedRows(), (std::vector<int>{0, 1}));
    }

    void pluginSchemesInTheListMenu_data()
    {
        QTest::addColumn<int>("slotCount");
        QTest::addColumn<QStringList>("expected");
        const QString none = QStringLiteral("不编码        (&N)\tAlt+N");
        const QString rle = QStringLiteral("RLE编码      (&R)\tAlt+R");
        const QString lz = QStringLiteral("ZIV 编码      (&Z)\tAlt+Z");
        const QString other = QStringLiteral("其它编码...(&O)\tAlt+O");
        QTest::newRow("none") << 0 << QStringList{none, rle, lz, "-", other};
        QTest::newRow("two") << 2 << QStringList{none, rle, lz, "-", "编码器0\t(&0)", "编码器1\t(&1)", "-", other};
        QStringList eleven{none, rle, lz, "-"};
        for (int k = 0; k < 10; ++k) eleven << QStringLiteral("编码器%1\t(&%1)").arg(k);
        eleven << "编码器10"
               << "-" << other;
        QTest::newRow("eleven") << 11 << eleven;
    }

    void pluginSchemesInTheListMenu()
    {
        QFETCH(int, slotCount);
        QFETCH(QStringList, expected);
        Editor editor;
        editor.Insert({{"a.txt", "a"}});
        for (int k = 0; k < slotCount; ++k)
            editor.Doc().GetCatalogue().AddPlugin("m.edl", Gbk("编码器" + std::to_string(k)), 1);
        CTarvexView& list = editor.List();
        const auto menu = list.MakeContextMenu(list.CurrentView().visualRect(list.Model().index(0, 0)).center());
        QMenu* schemes = FindSubmenu(*menu, QStringLiteral("选择编码\t(&S)"));
        QVERIFY(schemes);
        QStringList labels;
        for (const Item& item : ItemsOf(*schemes)) labels << item.label;
        QCOMPARE(labels, expected);
    }

    void pluginSchemesPastTheHandledRangeAreDisabled()
    {
        Editor editor;
        editor.Insert({{"a.txt", "a"}});
        for (int k = 0; k < 66; ++k) editor.Doc().GetCatalogue().AddPlugin("m.edl", "p" + std::to_string(k), 1);
        CTarvexView& list = editor.List();
        const auto menu = list.MakeContextMenu(list.CurrentView().visualRect(list.Model().index(0, 0)).center());
        QMenu* schemes = FindSubmenu(*menu, QStringLiteral("选择编码\t(&S)"));
        QAction* last = nullptr;
        for (QAction* action : schemes->actions())
            if (action->data().toInt() == 40065) last = action;
        QVERIFY(last);
        QCOMPARE(last->text(), QStringLiteral("p65"));
        QVERIFY(!last->isEnabled());
    }

    void windowTitleSplitterAndStatusBar()
    {
        Editor editor;
        QCOMPARE(editor.Frame().windowTitle(), QStringLiteral("无标题 - Tarvex"));
        QCOMPARE(editor.Frame().Splitter().count(), 2);
        QCOMPARE(editor.Frame().Splitter().widget(0), static_cast<QWidget*>(&editor.Tree()));
        QCOMPARE(editor.Frame().Splitter().widget(1), static_cast<QWidget*>(&editor.List()));
        QCOMPARE(editor.Frame().Splitter().sizes().front(), 150);
        QStringList panes;
        for (const char* name : {"pane59137", "pane59138", "pane59139"})
            QVERIFY(editor.Frame().findChild<QWidget*>(QString::fromLatin1(name)));
    }

    void startupEmptiesOnlyOurOwnClipboardData()
    {
        QApplication::clipboard()->setText(QStringLiteral("someone else's text"));
        {
            Editor editor;
            QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("someone else's text"));
        }
        auto* data = new QMimeData;
        data->setData(QString::fromLatin1(kClipboardFormat), QByteArray(8, '\0'));
        QApplication::clipboard()->setMimeData(data);
        Editor editor;
        const QMimeData* now = QApplication::clipboard()->mimeData();
        QVERIFY(!now || !now->hasFormat(QString::fromLatin1(kClipboardFormat)));
    }

    void togglesAndPaneSwitching()
    {
        Editor editor;
        CMainFrame& frame = editor.Frame();
        frame.show();
        Editor::Settle();
        QVERIFY(editor.App().Router().State(59392).checked);
        QVERIFY(editor.Run(59392));
        QVERIFY(!frame.ToolBar().isVisible());
        QVERIFY(!editor.App().Router().State(59392).checked);
        QVERIFY(editor.Run(59393));
        QVERIFY(!frame.statusBar()->isVisible());

        editor.Tree().setFocus();
        Editor::Settle();
        QVERIFY(editor.Run(57680));
        QVERIFY(editor.List().CurrentView().hasFocus());
        QVERIFY(editor.Run(57681));
        QVERIFY(editor.Tree().hasFocus());
    }
};

std::unique_ptr<QObject> MakeCommandTableTest()
{
    return std::make_unique<CommandTableTest>();
}

}  // namespace tarvex::test

#include "CommandTableTest.moc"
