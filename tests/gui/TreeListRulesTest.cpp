// The folder tree's and the file list's rules, through the real widgets:
// renames with their refusals and the reopened editor, deletion with its
// questions, new folder names, the list's order, images and double click.
#include <QAbstractItemView>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListView>
#include <QScopeGuard>
#include <QStyleHints>
#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <functional>

#include "catalogue/CatalogueEdits.h"
#include "editor/CLeftView.h"
#include "editor/CTarvexDoc.h"
#include "editor/CTarvexView.h"
#include "editor/FolderTreeModel.h"
#include "editor/IconForExtension.h"
#include "editor/TreeBranches.h"
#include "schemes/Extraction.h"
#include "shell/CMainFrame.h"
#include "talk/Messages.h"
#include "tests/gui/EditorHarness.h"
#include "ui/CommandIds.h"

namespace tarvex::test {
namespace {

const std::string kNameTaken = "该名字已被使用，请重新命名！";

Folder& AddFolder(Editor& editor, const std::string& utf8Name, Folder* parent = nullptr)
{
    return *editor.Tree().InsertFolder(Gbk(utf8Name), -1, parent ? parent : &editor.Doc().GetCatalogue().Root());
}

std::vector<std::string> EntryNames(Editor& editor)
{
    std::vector<std::string> names;
    for (const FileEntry& e : editor.Doc().GetCatalogue().Entries()) names.push_back(Utf8(e.name));
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

class TreeListRulesTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QuietOffscreenNotices(); }

    void newDocumentIsALoneUntitledRoot()
    {
        Editor editor;
        const Catalogue& c = editor.Doc().GetCatalogue();
        QCOMPARE(Utf8(c.Root().name), std::string("无标题"));
        QCOMPARE(c.Root().id, 0);
        QVERIFY(c.Root().children.empty());
        QVERIFY(c.Entries().empty());
        QCOMPARE(editor.Tree().model()->rowCount(), 1);
        QCOMPARE(&editor.Tree().CurrentFolder(), &c.Root());
        QCOMPARE(editor.List().Model().RowCount(), 0);
        QVERIFY(!editor.Doc().IsModified());
    }

    void theRootCannotBeRenamedEvenByACancelledEdit()
    {
        Editor editor;
        for (bool cancel : {false, true}) {
            editor.prompt.messages.clear();
            editor.Tree().RenameCurrent();
            editor.FinishEdit(editor.Tree(), QStringLiteral("新名字"), cancel);
            QCOMPARE(editor.prompt.Texts(), std::vector<std::string>{"注意：不允许更改根的名字！"});
            QCOMPARE(editor.prompt.messages[0].icon, MsgIcon::Warning);
            QCOMPARE(Utf8(editor.Doc().GetCatalogue().Root().name), std::string("无标题"));
        }
        QVERIFY(!editor.Doc().IsModified());
    }

    void aSiblingsNameReopensTheEditorUntilAFreeNameIsTyped()
    {
        Editor editor;
        Folder& a = AddFolder(editor, "甲");
        AddFolder(editor, "乙");
        editor.Doc().SetModifiedFlag(false);
        editor.Tree().SelectFolder(a);
        editor.Tree().RenameCurrent();
        // The item shows the typed name before the check refuses it.
        QString shownAtMessage;
        editor.prompt.onMessage = [&](const ShownMessage&) { shownAtMessage = editor.Tree().Model().ShownName(a); };
        editor.FinishEdit(editor.Tree(), QStringLiteral("乙"));
        QCOMPARE(editor.prompt.Texts(), std::vector<std::string>{kNameTaken});
        QCOMPARE(shownAtMessage, QStringLiteral("乙"));
        QCOMPARE(editor.prompt.messages[0].icon, MsgIcon::None);
        // The editor is open again; the folder keeps its name meanwhile.
        QVERIFY(editor.LabelEditor(editor.Tree()));
        QCOMPARE(Utf8(a.name), std::string("甲"));
        QCOMPARE(editor.Tree().Model().ShownName(a), QStringLiteral("乙"));
        // Cancelling compares the name the item shows: refused again.
        editor.FinishEdit(editor.Tree(), {}, true);
        QCOMPARE(editor.prompt.messages.size(), size_t{2});
        // A free name, with blanks around it, is taken as typed.
        editor.FinishEdit(editor.Tree(), QStringLiteral("  丙 "));
        QCOMPARE(editor.prompt.messages.size(), size_t{2});
        QCOMPARE(Utf8(a.name), std::string("  丙 "));
        QVERIFY(editor.Doc().IsModified());
    }

    void treeRenameComparesExactlyAndSkipsTheItemItself_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("message");
        QTest::newRow("other case of a sibling") << "data"
                                                 << "data"
                                                 << "";
        QTest::newRow("its own name") << "Data"
                                      << "Data"
                                      << "";
        QTest::newRow("blanks only") << "   "
                                     << "Data"
                                     << "";
        QTest::newRow("a sibling with blanks around") << " Other "
                                                      << "Data" << QString::fromStdString(kNameTaken);
        // The editor itself takes no more than 255 bytes: it stays open.
        QTest::newRow("longer than 255 bytes") << QString(128, QChar(0x56FE)) << "Data"
                                               << "";
        QTest::newRow("not GBK") << "图😀"
                                 << "Data" << QString::fromUtf8(Printf(msg::kNameNotGbk, "图😀").c_str());
    }

    void treeRenameComparesExactlyAndSkipsTheItemItself()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(QString, message);
        Editor editor;
        Folder& data = AddFolder(editor, "Data");
        AddFolder(editor, "Other");
        editor.Tree().SelectFolder(data);
        editor.Tree().RenameCurrent();
        editor.FinishEdit(editor.Tree(), typed);
        QCOMPARE(QString::fromStdString(Utf8(data.name)), stored);
        if (message.isEmpty()) {
            QVERIFY(editor.prompt.messages.empty());
        } else {
            QCOMPARE(QString::fromStdString(editor.prompt.messages.at(0).text), message);
        }
    }

    void deletingAFolderAsksFirstAndNeverRemovesTheRoot()
    {
        Editor editor;
        Folder& a = AddFolder(editor, "A");
        Folder& b = AddFolder(editor, "B", &a);
        AddFolder(editor, "C");
        editor.Select("A\\B");
        editor.Insert({{"deep.txt", "d"}});
        editor.Select("A");
        editor.Insert({{"top.txt", "t"}});
        editor.Select("");
        editor.Insert({{"keep.txt", "k"}});
        const uint32_t bHandle = b.handle;

        // The root: the question, then the refusal.
        editor.prompt.answers = {MsgAnswer::Yes};
        editor.Tree().setFocus();
        QVERIFY(editor.Run(cmd::kDelete));
        QCOMPARE(editor.prompt.Texts(),
                 (std::vector<std::string>{"该操作将删除所选项目以及所选项目包含的子项目。\n确实要删除吗?",
                                           "注意：不允许删除根节点！"}));
        QCOMPARE(editor.prompt.messages[0].buttons, MsgButtons::YesNoCancel);
        QCOMPARE(editor.prompt.messages[1].icon, MsgIcon::Warning);

        // No keeps everything; Yes takes the folder, its sub-folders and files.
        editor.Select("A");
        editor.prompt.answers = {MsgAnswer::No};
        editor.Run(cmd::kDelete);
        QVERIFY(editor.Doc().GetCatalogue().FolderByHandle(bHandle));
        editor.prompt.answers = {MsgAnswer::Yes};
        editor.Run(cmd::kDelete);
        QVERIFY(!editor.Doc().GetCatalogue().FolderByHandle(bHandle));
        QCOMPARE(EntryNames(editor), std::vector<std::string>{"keep.txt"});
        // The next sibling becomes the current folder.
        QCOMPARE(Utf8(editor.Tree().CurrentFolder().name), std::string("C"));
        QCOMPARE(editor.Tree().model()->rowCount(editor.Tree().Model().RootIndex()), 1);
    }

    void showIdReportsTheCurrentFoldersId()
    {
        Editor editor;
        AddFolder(editor, "A");
        Folder& b = AddFolder(editor, "B");
        editor.Tree().SelectFolder(b);
        editor.Tree().setFocus();
        QVERIFY(editor.Run(cmd::kShowId));
        QCOMPARE(editor.prompt.Texts(), std::vector<std::string>{"data = 2"});
        QCOMPARE(editor.prompt.messages[0].icon, MsgIcon::None);
    }

    // Dotted lines join the folders, the root's row included, with buttons
    // on folders that have sub-folders; a click on empty space leaves the
    // current folder highlighted.
    void theTreeDrawsLinesAndKeepsTheCurrentFolderSelected()
    {
        Editor editor;
        Folder& a = AddFolder(editor, "A");
        AddFolder(editor, "B");
        CLeftView& tree = editor.Tree();
        tree.expandAll();
        tree.SelectFolder(a);
        tree.setFocus();
        Editor::Settle();
        const QModelIndex current = tree.Model().IndexOf(&a);
        const QPoint empty(tree.viewport()->width() / 2, tree.viewport()->height() - 4);
        QVERIFY(!tree.indexAt(empty).isValid());
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, empty);
        QVERIFY(tree.selectionModel()->isSelected(current));
        QCOMPARE(&tree.CurrentFolder(), &a);

        const QImage image = tree.viewport()->grab().toImage();
        const auto isLine = [&image](int x, int y) { return image.pixel(x, y) == (kTreeLineColour | 0xFF000000u); };
        const int indent = tree.indentation();
        // A's row: a dot on every other pixel from its column's centre to
        // the picture, and its line on down to B.
        const QRect row = tree.visualRect(current);
        const int cx = row.left() - indent + indent / 2;
        const int cy = row.top() + row.height() / 2;
        int dots = 0;
        for (int x = cx; x < row.left(); ++x) dots += isLine(x, cy);
        QVERIFY(std::abs(2 * dots - (row.left() - cx)) <= 1);
        QVERIFY(isLine(cx, row.bottom()) || isLine(cx, row.bottom() - 1));
        // The root's button: a framed box in its own column.
        const QRect root = tree.visualRect(tree.Model().RootIndex());
        QVERIFY(isLine(root.left() - indent + indent / 2 - 4, root.top() + root.height() / 2));
    }

    void keysOfTheMenuActOnTheFocusedTree()
    {
        Editor editor;
        editor.Tree().setFocus();
        Editor::Settle();
        QTest::keySequence(&editor.Tree(), QKeySequence(QStringLiteral("Ctrl+F")));
        Editor::Settle();
        editor.FinishEdit(editor.List().CurrentView(), {}, true);
        QCOMPARE(editor.Doc().GetCatalogue().Root().children.size(), size_t{1});
        QCOMPARE(editor.ListNames(), std::vector<std::string>{"新建文件夹"});
    }

    void theListShowsFoldersThenFilesEachInReverse()
    {
        Editor editor;
        editor.Insert({{"a.txt", "1"}, {"b.bmp", "22"}, {"c", "333"}});
        AddFolder(editor, "X");
        AddFolder(editor, "Y");
        editor.List().RefreshList();
        QCOMPARE(editor.ListNames(), (std::vector<std::string>{"Y", "X", "c", "b.bmp", "a.txt"}));
        const FileListModel& model = editor.List().Model();
        QCOMPARE(model.Row(4).ref, 0u);  // the first entry is the last row
        QCOMPARE(model.Row(0).image, 0);
        QCOMPARE(model.Row(3).image, 4);
        QCOMPARE(model.index(4, FileListModel::kSize).data().toString(), QStringLiteral("1"));
        QCOMPARE(model.index(4, FileListModel::kEncodedSize).data().toString(), QStringLiteral("1"));
        QCOMPARE(model.index(4, FileListModel::kScheme).data().toString(), QStringLiteral("不编码"));
        QCOMPARE(model.index(4, FileListModel::kRatio).data().toString(), QStringLiteral("100%"));
        QVERIFY(model.index(4, FileListModel::kLocation).data().toString().endsWith(QStringLiteral("/a.txt")));
        QCOMPARE(model.index(0, FileListModel::kSize).data().toString(), QString());
        QStringList headers;
        for (int c = 0; c < FileListModel::kColumnCount; ++c)
            headers << model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        QCOMPARE(headers, (QStringList{"名称", "大小(字节)", "编码后大小", "编码", "压缩率", "文件位置"}));
    }

    void iconForExtension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("image");
        QTest::newRow("two dots") << "archive.tar.gz" << 1;
        QTest::newRow("whole name x") << "x" << 15;
        QTest::newRow("upper case") << "PHOTO.JPG" << 4;
        QTest::newRow("text") << "readme.txt" << 2;
        QTest::newRow("no dot") << "Makefile" << 1;
        QTest::newRow("dot last") << "name." << 1;
        QTest::newRow("rtf") << "a.RTF" << 16;
        QTest::newRow("cpp") << "main.cpp" << 13;
        QTest::newRow("chinese") << "图片.Png" << 4;
        QTest::newRow("trail byte like a letter") << "丅.TXT" << 2;  // 丅 is 81 42 in GBK
    }

    void iconForExtension()
    {
        QFETCH(QString, name);
        QFETCH(int, image);
        QCOMPARE(IconForExtension(Gbk(name.toStdString())), image);
    }

    void newFoldersTakeTheNextFreeNumberOfThisFolder()
    {
        Editor editor;
        AddFolder(editor, "新建文件夹");
        AddFolder(editor, "新建文件夹(1)");
        Folder& other = AddFolder(editor, "别处");
        AddFolder(editor, "新建文件夹(2)", &other);
        editor.List().RefreshList();
        editor.List().NewFolder();
        editor.FinishEdit(editor.List().CurrentView(), {}, true);
        const auto& children = editor.Doc().GetCatalogue().Root().children;
        QCOMPARE(Utf8(children.back()->name), std::string("新建文件夹(2)"));
        QCOMPARE(children.back()->id, 5);
        QCOMPARE(editor.ListNames().front(), std::string("新建文件夹(2)"));
        QVERIFY(editor.Doc().IsModified());

        // Named at once in its editor.
        editor.List().NewFolder();
        editor.FinishEdit(editor.List().CurrentView(), QStringLiteral("资料"));
        QCOMPARE(Utf8(children.back()->name), std::string("资料"));
        QCOMPARE(Utf8(editor.Tree().Model().FolderAt(editor.Tree().Model().IndexOf(children.back().get()))->name),
                 std::string("资料"));
    }

    void listRenameIgnoresCaseWithinOneKind()
    {
        Editor editor;
        editor.Insert({{"Readme.txt", "r"}, {"other.txt", "o"}});
        AddFolder(editor, "doc");
        editor.List().RefreshList();
        editor.List().StartRename(editor.ListRowNamed("other.txt"));
        // The row shows the typed name before the check refuses it.
        std::vector<std::string> shownAtMessage;
        editor.prompt.onMessage = [&](const ShownMessage&) { shownAtMessage = editor.ListNames(); };
        editor.FinishEdit(editor.List().CurrentView(), QStringLiteral("README.TXT"));
        QCOMPARE(editor.prompt.Texts(), std::vector<std::string>{kNameTaken});
        QCOMPARE(shownAtMessage, (std::vector<std::string>{"doc", "README.TXT", "Readme.txt"}));
        QVERIFY(editor.LabelEditor(editor.List().CurrentView()));
        editor.FinishEdit(editor.List().CurrentView(), QStringLiteral("DOC"));
        // A file may show the name of a folder row.
        QCOMPARE(editor.prompt.messages.size(), size_t{1});
        QCOMPARE(EntryNames(editor), (std::vector<std::string>{"DOC", "Readme.txt"}));
    }

    void f2RenamesTheSelectedRowWhicheverColumnWasClicked()
    {
        Editor editor;
        editor.Insert({{"a.txt", "a"}, {"b.txt", "b"}});
        QTreeView& report = editor.List().ReportView();
        QVERIFY(QTest::qWaitForWindowActive(&editor.Frame()));
        for (int column = FileListModel::kSize; column < FileListModel::kColumnCount; ++column) {
            const QRect cell = report.visualRect(editor.List().Model().index(1, column));
            QTest::mouseClick(report.viewport(), Qt::LeftButton, {}, cell.center());
            QTest::keyClick(&report, Qt::Key_F2);
            QVERIFY(editor.LabelEditor(report));
            const QString name = QStringLiteral("c%1.txt").arg(column);
            editor.FinishEdit(report, name);
            QCOMPARE(editor.ListNames(), (std::vector<std::string>{"b.txt", name.toStdString()}));
        }
        QVERIFY(editor.prompt.messages.empty());
    }

    void clicksOnRowsSelectAndRenameAsFileManagersDo_data()
    {
        QTest::addColumn<int>("style");
        QTest::newRow("report") << cmd::kViewDetails;
        QTest::newRow("large icons") << cmd::kViewLargeIcon;
    }

    void clicksOnRowsSelectAndRenameAsFileManagersDo()
    {
        QFETCH(int, style);
        Editor editor;
        QVERIFY(editor.Run(style));
        editor.Insert({{"a.txt", "a"}, {"b.txt", "b"}, {"c.txt", "c"}, {"d.txt", "d"}});
        CTarvexView& list = editor.List();
        QAbstractItemView& view = list.CurrentView();
        QVERIFY(QTest::qWaitForWindowActive(&editor.Frame()));
        // An edit that waits out the double-click time starts at the next settle.
        QStyleHints& hints = *QGuiApplication::styleHints();
        const int interval = hints.mouseDoubleClickInterval();
        hints.setMouseDoubleClickInterval(0);
        const auto restore = qScopeGuard([&] { hints.setMouseDoubleClickInterval(interval); });
        const auto click = [&](const char* name, Qt::KeyboardModifiers modifiers = {}) {
            const QRect row = view.visualRect(list.Model().index(editor.ListRowNamed(name), 0));
            QTest::mouseClick(view.viewport(), Qt::LeftButton, modifiers, row.center());
            Editor::Settle();
        };
        const auto selected = [&] {
            std::vector<std::string> names;
            for (int row : list.SelectedRows()) names.push_back(list.Model().ShownName(row).toStdString());
            std::sort(names.begin(), names.end());
            return names;
        };
        const auto editing = [&] {
            const auto editors = view.findChildren<QLineEdit*>(QStringLiteral("labelEditor"));
            return std::any_of(editors.begin(), editors.end(), [](QLineEdit* e) { return e->isVisible(); });
        };

        // A plain click on one row of three selected leaves that row alone, not renamed.
        editor.SelectRows({"a.txt", "b.txt", "c.txt"});
        click("b.txt");
        QCOMPARE(selected(), std::vector<std::string>{"b.txt"});
        QVERIFY(!editing());
        // Ctrl+click adds a row and takes one away.
        click("d.txt", Qt::ControlModifier);
        click("b.txt", Qt::ControlModifier);
        QCOMPARE(selected(), std::vector<std::string>{"d.txt"});
        QVERIFY(!editing());
        // A second, slow click on the row selected alone edits its name.
        click("d.txt");
        editor.FinishEdit(view, QStringLiteral("e.txt"));
        QCOMPARE(EntryNames(editor), (std::vector<std::string>{"a.txt", "b.txt", "c.txt", "e.txt"}));
        QVERIFY(editor.prompt.messages.empty());
    }

    void aRenameEndedByOpeningAnotherFolderStillTakes()
    {
        Editor editor;
        Folder& a = AddFolder(editor, "A");
        editor.Insert({{"f.txt", "f"}});
        editor.List().StartRename(editor.ListRowNamed("f.txt"));
        QLineEdit* edit = editor.LabelEditor(editor.List().CurrentView());
        QVERIFY(edit);
        QVERIFY(QTest::qWaitForWindowActive(&editor.Frame()));
        edit->setFocus();
        edit->setText(QStringLiteral("g.txt"));
        // Focus leaving the editor ends the edit; the list shows another
        // folder before the rename's rules run.
        editor.Tree().setFocus();
        editor.Tree().SelectFolder(a);
        Editor::Settle();
        QCOMPARE(EntryNames(editor), std::vector<std::string>{"g.txt"});
        QVERIFY(editor.prompt.messages.empty());
    }

    void deletingFilesRemovesExactlyTheSelection()
    {
        // Six files read from a pack and two added since, removed in an
        // order that moves entries of both kinds around.
        TempDir packs;
        const std::string pack = packs / "six.epk";
        std::map<std::string, std::string> bytes;
        {
            Editor source;
            std::vector<std::pair<std::string, std::string>> files;
            for (int i = 0; i < 6; ++i) {
                files.emplace_back("p" + std::to_string(i), std::string(100 + i, static_cast<char>('a' + i)));
                bytes[files.back().first] = files.back().second;
            }
            source.Insert(files);
            source.prompt.passwords.push_back(PasswordBlocks{});
            QVERIFY(source.Doc().OnSaveDocument(pack));
        }
        Editor editor(pack);
        QVERIFY(editor.Started());
        editor.Insert({{"n0", "new zero"}, {"n1", "new one"}});
        bytes["n0"] = "new zero";
        bytes["n1"] = "new one";
        for (const char* gone : {"p1", "n0", "p4", "p5"}) bytes.erase(gone);
        CTarvexView& list = editor.List();
        list.SelectRow(editor.ListRowNamed("p4"));
        for (const char* name : {"n0", "p1", "p5"}) list.SelectRow(editor.ListRowNamed(name), true);
        list.setFocus();
        QVERIFY(editor.Run(cmd::kDelete));
        QVERIFY(editor.prompt.messages.empty());
        std::vector<std::string> expected;
        for (const auto& [name, b] : bytes) expected.push_back(name);
        QCOMPARE(EntryNames(editor), expected);

        // Saved and read again, every remaining file has its own bytes.
        const std::string again = editor.dir / "again.epk";
        editor.prompt.passwords.push_back(PasswordBlocks{});
        QVERIFY(editor.Doc().OnSaveDocument(again));
        Editor reread(again);
        const Catalogue& c = reread.Doc().GetCatalogue();
        for (size_t i = 0; i < c.Entries().size(); ++i) {
            const std::string name = Utf8(c.Entries()[i].name);
            const std::string out = reread.dir / ("x" + name);
            QVERIFY(ExtractDecoded(reread.Doc().Pack(), i, "", out, reread.prompt));
            const std::vector<uint8_t> got = ReadFileBytes(out);
            QCOMPARE(std::string(got.begin(), got.end()), bytes.at(name));
        }
    }

    void deletingFoldersAsksOncePerFolder_data()
    {
        // The answers for B and A, in list order, and what is left.
        QTest::addColumn<std::vector<MsgAnswer>>("answers");
        QTest::addColumn<std::vector<std::string>>("left");
        QTest::newRow("yes, no") << std::vector{MsgAnswer::Yes, MsgAnswer::No} << std::vector<std::string>{"A"};
        QTest::newRow("no, no") << std::vector{MsgAnswer::No, MsgAnswer::No} << std::vector<std::string>{"B", "A"};
        // Cancel spares that folder only: the next rows go on.
        QTest::newRow("cancel, yes") << std::vector{MsgAnswer::Cancel, MsgAnswer::Yes} << std::vector<std::string>{"B"};
        QTest::newRow("yes, cancel") << std::vector{MsgAnswer::Yes, MsgAnswer::Cancel} << std::vector<std::string>{"A"};
    }

    void deletingFoldersAsksOncePerFolder()
    {
        QFETCH(std::vector<MsgAnswer>, answers);
        QFETCH(std::vector<std::string>, left);
        Editor editor;
        AddFolder(editor, "A");
        AddFolder(editor, "B");
        editor.Insert({{"f.txt", "f"}, {"g.txt", "g"}});
        editor.Doc().SetModifiedFlag(false);
        CTarvexView& list = editor.List();
        list.setFocus();
        list.SelectAll();
        editor.prompt.answers = {answers.begin(), answers.end()};
        editor.Run(cmd::kDelete);
        QCOMPARE(editor.prompt.messages.size(), size_t{2});
        QCOMPARE(editor.prompt.messages[0].text,
                 std::string("注意：删除这个目录将删除此目录下的所有信息！\n确定要删除吗？"));
        QCOMPARE(editor.prompt.messages[0].buttons, MsgButtons::YesNoCancel);
        // The files go without a question, whatever the folders' answers.
        QCOMPARE(editor.ListNames(), left);
        QVERIFY(editor.Doc().GetCatalogue().Entries().empty());
        QCOMPARE(editor.Doc().GetCatalogue().Root().children.size(), left.size());
        QVERIFY(editor.Doc().IsModified());
    }

    // Edits that end without a change still mark the document modified, so
    // that New asks about saving.
    void editsThatChangeNothingStillMarkTheDocument()
    {
        const std::vector<std::pair<const char*, std::function<void(Editor&)>>> edits = {
            {"insert of a name taken",
             [](Editor& e) {
                 e.Insert({{"a.txt", "again"}});
             }},
            {"delete answered no",
             [](Editor& e) {
                 e.SelectRows({"A"});
                 e.prompt.answers = {MsgAnswer::No};
                 e.Run(cmd::kDelete);
             }},
            {"file row renamed as it was",
             [](Editor& e) {
                 e.List().StartRename(e.ListRowNamed("a.txt"));
                 e.FinishEdit(e.List().CurrentView(), QStringLiteral("a.txt"));
             }},
            {"folder row rename cancelled",
             [](Editor& e) {
                 e.List().StartRename(e.ListRowNamed("A"));
                 e.FinishEdit(e.List().CurrentView(), {}, true);
             }},
            {"tree rename to its own name",
             [](Editor& e) {
                 e.Select("A");
                 e.Tree().RenameCurrent();
                 e.FinishEdit(e.Tree(), QStringLiteral("A"));
             }},
        };
        for (const auto& [what, edit] : edits) {
            Editor editor;
            AddFolder(editor, "A");
            editor.Insert({{"a.txt", "a"}});
            editor.Doc().SetModifiedFlag(false);
            editor.prompt.messages.clear();
            edit(editor);
            QVERIFY2(editor.Doc().IsModified(), what);
            editor.prompt.messages.clear();
            editor.prompt.answers = {MsgAnswer::Cancel};
            editor.Run(cmd::kFileNew);
            QVERIFY2(editor.prompt.Saw("是否保存对 无标题 的更改？"), what);
        }
    }

    void doubleClickOnAFolderRowOpensIt()
    {
        Editor editor;
        Folder& a = AddFolder(editor, "A");
        editor.Insert({{"f.txt", "f"}});
        editor.List().RefreshList();
        QAbstractItemView& view = editor.List().CurrentView();
        const auto click = [&](int row) {
            const QRect r = view.visualRect(editor.List().Model().index(row, 0));
            QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, r.center());
            QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, r.center());
            Editor::Settle();
        };
        click(editor.ListRowNamed("f.txt"));
        QCOMPARE(&editor.Tree().CurrentFolder(), &editor.Doc().GetCatalogue().Root());
        click(editor.ListRowNamed("A"));
        QCOMPARE(&editor.Tree().CurrentFolder(), &a);
        QCOMPARE(editor.List().Model().RowCount(), 0);
    }

    void aHundredThousandFilesInEveryViewStyle()
    {
        Editor editor;
        Catalogue& c = editor.Doc().GetCatalogue();
        for (int i = 0; i < 100000; ++i) {
            FileEntry e;
            e.name = "file" + std::to_string(i) + (i % 3 ? ".txt" : ".bmp");
            e.sourcePath = "/nowhere/" + e.name;
            e.fileSize = e.encodedSize = static_cast<uint32_t>(i);
            c.AppendEntry(std::move(e));
        }
        QElapsedTimer timer;
        timer.start();
        for (int style : {cmd::kViewDetails, cmd::kViewLargeIcon, cmd::kViewSmallIcon, cmd::kViewList}) {
            editor.Run(style);
            editor.List().RefreshList();
            editor.List().CurrentView().repaint();
        }
        QCOMPARE(editor.List().Model().RowCount(), 100000);
        QCOMPARE(editor.ListNames().front(), std::string("file99999.bmp"));
        QVERIFY(timer.elapsed() < 20000);
    }

    void insertingReportsNamesTakenAndStopsAtAnUnreadableFile()
    {
        Editor editor;
        editor.Insert({{"a.txt", "a"}});
        editor.Doc().SetModifiedFlag(false);
        const std::string missing = editor.dir / "gone/missing.txt";
        editor.choices.filesToInsert.push_back({editor.dir.Write("x/a.txt", "again"), editor.dir.Write("x/b.txt", "b"),
                                                missing, editor.dir.Write("x/c.txt", "c")});
        editor.Tree().InsertFilesFromDialog();
        Editor::Settle();
        QCOMPARE(editor.prompt.messages.size(), size_t{2});
        QCOMPARE(editor.prompt.messages[0].text, std::string("该文件夹下已经有一个 a.txt 存在！"));
        QCOMPARE(editor.prompt.messages[0].icon, MsgIcon::Error);
        QVERIFY(editor.prompt.messages[1].text.find(missing) != std::string::npos);
        // What was added before the unreadable file stays, shown and marked.
        QCOMPARE(EntryNames(editor), (std::vector<std::string>{"a.txt", "b.txt"}));
        QCOMPARE(editor.ListNames(), (std::vector<std::string>{"b.txt", "a.txt"}));
        QVERIFY(editor.Doc().IsModified());
    }
};

std::unique_ptr<QObject> MakeTreeListRulesTest()
{
    return std::make_unique<TreeListRulesTest>();
}

}  // namespace tarvex::test

#include "TreeListRulesTest.moc"
