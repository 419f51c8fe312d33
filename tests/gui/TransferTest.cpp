// Cut, copy and paste of files and folders inside a pack through the
// clipboard (records, refusals, cut marks, stale and foreign records), and
// drops of files and directories from the desktop onto the file list.
#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include "base/GbkText.h"
#include "catalogue/Catalogue.h"
#include "editor/CLeftView.h"
#include "editor/CTarvexDoc.h"
#include "editor/CTarvexView.h"
#include "editor/ClipboardTransfer.h"
#include "editor/FileListModel.h"
#include "editor/FolderTreeModel.h"
#include "tests/gui/EditorHarness.h"
#include "ui/CommandIds.h"

namespace tarvex::test {
namespace {

constexpr const char* kNothingToPaste =
    "剪贴簿上的项目已经不在这个文件包里了（被删除，或者来自另一个正在运行的Tarvex），无法粘贴！";

std::vector<ClipboardItem> ClipboardRecords()
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data) return {};
    return DecodeClipboardItems(data->data(QString::fromLatin1(kClipboardFormat)));
}

// A pack with folders a (holding a/sub) and b, two files in the root and one in a.
void MakeFolders(Editor& editor)
{
    CLeftView& tree = editor.Tree();
    Folder& root = editor.Doc().GetCatalogue().Root();
    Folder* a = tree.InsertFolder("a", -1, &root);
    tree.InsertFolder("b", -1, &root);
    tree.InsertFolder("sub", -1, a);
    editor.Select("");
    editor.Insert({{"one.txt", "1"}, {"two.txt", "22"}});
    editor.Select("a");
    editor.Insert({{"inner.txt", "333"}});
    editor.Select("");
}

void FocusTree(Editor& editor, const std::string& folder)
{
    editor.Select(folder);
    editor.Tree().setFocus();
    Editor::Settle();
}

// The names of the entries in a folder, sorted.
std::vector<std::string> FilesIn(Editor& editor, const std::string& folder)
{
    const uint16_t id = editor.FolderNamed(folder).id;
    std::vector<std::string> names;
    for (const FileEntry& e : editor.Doc().GetCatalogue().Entries())
        if (e.folderId == id) names.push_back(Utf8(e.name));
    std::sort(names.begin(), names.end());
    return names;
}

bool HasFolder(Editor& editor, const std::string& path)
{
    try {
        editor.FolderNamed(path);
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

void Drop(QWidget* viewport, const std::vector<std::string>& paths)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& path : paths) urls << QUrl::fromLocalFile(QString::fromStdString(path));
    data.setUrls(urls);
    const QPoint at = viewport->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QVERIFY(enter.isAccepted());
    QCOMPARE(enter.dropAction(), Qt::CopyAction);
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    Editor::Settle();
}

}  // namespace

class TransferTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QuietOffscreenNotices(); }
    void init() { QApplication::clipboard()->clear(); }

    void theRecordsFollowTheListOrder()
    {
        Editor editor;
        MakeFolders(editor);
        editor.SelectRows({"a", "one.txt", "two.txt"});
        QVERIFY(editor.Run(cmd::kEditCopy));
        const std::vector<ClipboardItem> records = ClipboardRecords();
        // The records go under the private format's registered name.
        QCOMPARE(QApplication::clipboard()->mimeData()->data(QStringLiteral("ZVPK2fd")).size(), 24);
        QCOMPARE(records.size(), size_t(3));
        QCOMPARE(records[0].flags, 2u);
        QCOMPARE(records[0].reference, editor.FolderNamed("a").handle);
        const auto& entries = editor.Doc().GetCatalogue().Entries();
        // The list shows the files in reverse entry order.
        for (size_t i = 1; i < 3; ++i) {
            QCOMPARE(records[i].flags, 3u);
            QCOMPARE(Utf8(entries[records[i].reference].name), i == 1 ? std::string("two.txt") : "one.txt");
        }
        editor.SelectRows({"two.txt"});
        QVERIFY(editor.Run(cmd::kEditCut));
        QCOMPARE(ClipboardRecords().size(), size_t(1));
        QCOMPARE(ClipboardRecords()[0].flags, 1u);
        // The tree's record: the current folder.
        FocusTree(editor, "b");
        QVERIFY(editor.Run(cmd::kEditCut));
        QCOMPARE(ClipboardRecords().size(), size_t(1));
        QCOMPARE(ClipboardRecords()[0].flags, 0u);
        QCOMPARE(ClipboardRecords()[0].reference, editor.FolderNamed("b").handle);
    }

    void cutFilesMoveAndMoveAgain()
    {
        Editor editor;
        MakeFolders(editor);
        editor.SelectRows({"one.txt", "two.txt"});
        QVERIFY(editor.Run(cmd::kEditCut));
        // Into their own folder: nothing changes, nothing is said.
        QVERIFY(editor.Run(cmd::kEditPaste));
        QVERIFY(editor.prompt.messages.empty());
        QCOMPARE(FilesIn(editor, ""), (std::vector<std::string>{"one.txt", "two.txt"}));
        editor.Doc().SetModifiedFlag(false);

        FocusTree(editor, "b");
        QVERIFY(editor.Run(cmd::kEditPaste));
        QCOMPARE(FilesIn(editor, "b"), (std::vector<std::string>{"one.txt", "two.txt"}));
        QVERIFY(FilesIn(editor, "").empty());
        QVERIFY(editor.Doc().IsModified());
        QCOMPARE(editor.ListNames(), (std::vector<std::string>{"two.txt", "one.txt"}));
        // The cut stays on the clipboard: a second paste moves them on.
        FocusTree(editor, "a/sub");
        QVERIFY(editor.Run(cmd::kEditPaste));
        QCOMPARE(FilesIn(editor, "a/sub"), (std::vector<std::string>{"one.txt", "two.txt"}));
        QVERIFY(editor.prompt.messages.empty());
    }

    void copiedFilesAreRefusedWhereTheirNameIsTaken()
    {
        Editor editor;
        MakeFolders(editor);
        editor.SelectRows({"one.txt", "two.txt"});
        QVERIFY(editor.Run(cmd::kEditCopy));
        QVERIFY(editor.Run(cmd::kEditPaste));
        QCOMPARE(editor.prompt.Texts(), (std::vector<std::string>{"该文件夹下已经有一个 two.txt 存在！",
                                                                  "该文件夹下已经有一个 one.txt 存在！"}));
        FocusTree(editor, "a");
        QVERIFY(editor.Run(cmd::kEditPaste));
        QCOMPARE(FilesIn(editor, "a"), (std::vector<std::string>{"inner.txt", "one.txt", "two.txt"}));
        QCOMPARE(FilesIn(editor, ""), (std::vector<std::string>{"one.txt", "two.txt"}));
    }

    void foldersAreRefusedBelowThemselvesAndBesideTheirTwin_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("message");
        QTest::addRow("cut into its sub-folder") << cmd::kEditCut << "a/sub"
                                                 << "无法移动文件夹！目标文件夹是源文件夹的子文件夹。";
        QTest::addRow("copy into its sub-folder") << cmd::kEditCopy << "a/sub"
                                                  << "无法复制文件夹！目标文件夹是源文件夹的子文件夹。";
        QTest::addRow("cut into its parent") << cmd::kEditCut << ""
                                             << "无法移动文件夹！该文件夹下已经有一个文件夹 <a> 存在！";
        QTest::addRow("copy into its parent") << cmd::kEditCopy << ""
                                              << "无法复制文件夹！该文件夹下已经有一个文件夹 <a> 存在！";
    }

    void foldersAreRefusedBelowThemselvesAndBesideTheirTwin()
    {
        QFETCH(int, command);
        QFETCH(QString, target);
        QFETCH(QString, message);
        Editor editor;
        MakeFolders(editor);
        FocusTree(editor, "a");
        QVERIFY(editor.Run(command));
        FocusTree(editor, target.toStdString());
        // While the refusal is up, the tree still shows its folders.
        CLeftView& tree = editor.Tree();
        std::vector<bool> shown;
        editor.prompt.onMessage = [&](const ShownMessage&) {
            const QModelIndex a = tree.Model().IndexOf(&editor.FolderNamed("a"));
            shown.push_back(tree.visualRect(tree.Model().RootIndex()).isValid() && tree.visualRect(a).isValid());
        };
        QVERIFY(editor.Run(cmd::kEditPaste));
        QCOMPARE(editor.prompt.Texts(), std::vector<std::string>{message.toStdString()});
        QCOMPARE(shown, std::vector<bool>{true});
        QVERIFY(HasFolder(editor, "a/sub"));
        QCOMPARE(FilesIn(editor, "a"), std::vector<std::string>{"inner.txt"});
    }

    void foldersMoveAndCopyWithTheirContents()
    {
        Editor editor;
        MakeFolders(editor);
        FocusTree(editor, "a");
        QVERIFY(editor.Run(cmd::kEditCopy));
        FocusTree(editor, "b");
        QVERIFY(editor.Run(cmd::kEditPaste));
        QCOMPARE(FilesIn(editor, "b/a"), std::vector<std::string>{"inner.txt"});
        QVERIFY(HasFolder(editor, "b/a/sub"));
        QVERIFY(HasFolder(editor, "a"));
        // A folder row cut in the list moves with its files.
        editor.Select("");
        editor.SelectRows({"b"});
        QVERIFY(editor.Run(cmd::kEditCut));
        FocusTree(editor, "a/sub");
        QVERIFY(editor.Run(cmd::kEditPaste));
        QVERIFY(!HasFolder(editor, "b"));
        QCOMPARE(FilesIn(editor, "a/sub/b/a"), std::vector<std::string>{"inner.txt"});
        QVERIFY(editor.prompt.messages.empty());
    }

    // A record never names another item than the one cut or copied.
    void staleRecordsAreSkipped()
    {
        Editor editor;
        MakeFolders(editor);
        editor.SelectRows({"one.txt"});
        QVERIFY(editor.Run(cmd::kEditCopy));
        const uint32_t index = ClipboardRecords()[0].reference;
        // Deleting one.txt hands its index to another entry.
        editor.List().DeleteSelection();
        QVERIFY(index < editor.Doc().GetCatalogue().Entries().size());
        FocusTree(editor, "b");
        QVERIFY(editor.Run(cmd::kEditPaste));
        QCOMPARE(editor.prompt.Texts(), std::vector<std::string>{kNothingToPaste});
        QVERIFY(FilesIn(editor, "b").empty());

        // A deleted folder: the same.
        editor.prompt.messages.clear();
        FocusTree(editor, "a/sub");
        QVERIFY(editor.Run(cmd::kEditCut));
        editor.prompt.answers.push_back(MsgAnswer::Yes);
        editor.Tree().DeleteCurrent();
        Editor::Settle();
        editor.prompt.messages.clear();
        FocusTree(editor, "b");
        QVERIFY(editor.Run(cmd::kEditPaste));
        QCOMPARE(editor.prompt.Texts(), std::vector<std::string>{kNothingToPaste});
    }

    void recordsKeepTheirItemsThroughMovesAndSaves()
    {
        Editor editor;
        MakeFolders(editor);
        editor.SelectRows({"two.txt"});
        QVERIFY(editor.Run(cmd::kEditCopy));
        // one.txt goes: two.txt changes its index, the record still finds it.
        editor.SelectRows({"one.txt"});
        editor.List().DeleteSelection();
        editor.choices.savePaths.push_back(editor.dir / "saved.epk");
        QVERIFY(editor.Run(cmd::kFileSaveAs));
        FocusTree(editor, "b");
        QVERIFY(editor.Run(cmd::kEditPaste));
        QCOMPARE(FilesIn(editor, "b"), std::vector<std::string>{"two.txt"});
        QVERIFY(editor.prompt.messages.empty());
        // Another pack opened in the same program: nothing of the old one is
        // there, though the new one has entries at the same indexes.
        editor.choices.savePaths.push_back(editor.dir / "other.epk");
        QVERIFY(editor.Run(cmd::kFileSaveAs));
        QVERIFY(editor.App().OpenDocumentFile(editor.dir / "saved.epk"));
        Editor::Settle();
        FocusTree(editor, "a");
        QVERIFY(editor.Run(cmd::kEditPaste));
        QCOMPARE(editor.prompt.Texts(), std::vector<std::string>{kNothingToPaste});
        QCOMPARE(FilesIn(editor, "a"), std::vector<std::string>{"inner.txt"});
    }

    void recordsOfAnotherProgramAreSkipped()
    {
        Editor editor;
        MakeFolders(editor);
        // Another running Tarvex writes the same block with its own origin.
        const std::vector<ClipboardItem> records = {{3, 0}, {2, editor.FolderNamed("a").handle}};
        auto* data = new QMimeData;
        data->setData(QString::fromLatin1(kClipboardFormat), EncodeClipboardItems(records));
        data->setData(QString::fromLatin1(kClipboardOriginFormat), QByteArray(16 + 4 + 16, '\x01'));
        QApplication::clipboard()->setMimeData(data);
        FocusTree(editor, "b");
        QVERIFY(editor.Run(cmd::kEditPaste));
        QCOMPARE(editor.prompt.Texts(), std::vector<std::string>{kNothingToPaste});
        QVERIFY(FilesIn(editor, "b").empty());
        QVERIFY(!HasFolder(editor, "b/a"));
    }

    void pasteIsEnabledOnlyWhileTheFormatIsOffered()
    {
        Editor editor;
        MakeFolders(editor);
        CommandRouter& router = editor.App().Router();
        QApplication::clipboard()->setText(QStringLiteral("plain text"));
        Editor::Settle();
        for (QWidget* view : {static_cast<QWidget*>(&editor.Tree()), static_cast<QWidget*>(&editor.List())}) {
            view->setFocus();
            Editor::Settle();
            QVERIFY(!router.State(cmd::kEditPaste).enabled);
        }
        // Cut and copy in the list need a selection; in the tree they are always there.
        editor.List().setFocus();
        Editor::Settle();
        QVERIFY(!router.State(cmd::kEditCopy).enabled);
        FocusTree(editor, "");
        QVERIFY(router.State(cmd::kEditCopy).enabled);
        QVERIFY(editor.Run(cmd::kEditCopy));
        for (QWidget* view : {static_cast<QWidget*>(&editor.Tree()), static_cast<QWidget*>(&editor.List())}) {
            view->setFocus();
            Editor::Settle();
            QVERIFY(router.State(cmd::kEditPaste).enabled);
        }
    }

    void cutMarksShowTheLastCutOnly()
    {
        Editor editor;
        MakeFolders(editor);
        FileListModel& model = editor.List().Model();
        FolderTreeModel& tree = editor.Tree().Model();
        editor.SelectRows({"a", "one.txt"});
        QVERIFY(editor.Run(cmd::kEditCut));
        QVERIFY(model.IsCut(editor.ListRowNamed("a")));
        QVERIFY(model.IsCut(editor.ListRowNamed("one.txt")));
        QVERIFY(!model.IsCut(editor.ListRowNamed("two.txt")));
        // A copy clears them.
        editor.SelectRows({"two.txt"});
        QVERIFY(editor.Run(cmd::kEditCopy));
        for (int row = 0; row < model.RowCount(); ++row) QVERIFY(!model.IsCut(row));
        // Each view clears its own marks only: the tree's cut leaves the
        // list's, the list's next cut or copy leaves the tree's.
        editor.Select("a");
        editor.SelectRows({"inner.txt"});
        QVERIFY(editor.Run(cmd::kEditCut));
        FocusTree(editor, "a");
        QVERIFY(editor.Run(cmd::kEditCut));
        QVERIFY(tree.IsCut(editor.FolderNamed("a")));
        QVERIFY(model.IsCut(editor.ListRowNamed("inner.txt")));
        for (int command : {cmd::kEditCut, cmd::kEditCopy}) {
            editor.SelectRows({"sub"});
            QVERIFY(editor.Run(command));
            QVERIFY(tree.IsCut(editor.FolderNamed("a")));
            QVERIFY(!model.IsCut(editor.ListRowNamed("inner.txt")));
            QCOMPARE(model.IsCut(editor.ListRowNamed("sub")), command == cmd::kEditCut);
        }
        // A cut of another folder in the tree moves the tree's mark.
        FocusTree(editor, "a/sub");
        QVERIFY(editor.Run(cmd::kEditCut));
        QVERIFY(tree.IsCut(editor.FolderNamed("a/sub")));
        QVERIFY(!tree.IsCut(editor.FolderNamed("a")));
        // What a paste has moved is ghosted nowhere: the folder in its new
        // place, the files in theirs.
        FocusTree(editor, "b");
        QVERIFY(editor.Run(cmd::kEditPaste));
        QVERIFY(!tree.IsCut(editor.FolderNamed("b/sub")));
        editor.Select("");
        editor.SelectRows({"one.txt", "two.txt"});
        QVERIFY(editor.Run(cmd::kEditCut));
        FocusTree(editor, "b");
        QVERIFY(editor.Run(cmd::kEditPaste));
        QCOMPARE(editor.ListNames(), (std::vector<std::string>{"sub", "two.txt", "one.txt"}));
        for (int row = 0; row < model.RowCount(); ++row) QVERIFY(!model.IsCut(row));
    }

    void startUpClearsRecordsOfAnEarlierRun()
    {
        auto* data = new QMimeData;
        data->setData(QString::fromLatin1(kClipboardFormat), EncodeClipboardItems(std::vector<ClipboardItem>{{1, 0}}));
        QApplication::clipboard()->setMimeData(data);
        QVERIFY(ClipboardTransfer::Offered());
        Editor editor;
        QVERIFY(!ClipboardTransfer::Offered());
    }

    void dropsAddFilesAndEmptyFolders()
    {
        Editor editor;
        MakeFolders(editor);
        editor.Select("b");
        const std::string dir = editor.dir.MakeDir("drop/photos");
        editor.dir.Write("drop/photos/inside.jpg", "jpg");
        const std::string file = editor.dir.Write("drop/new.txt", "new");
        const std::string taken = editor.dir.Write("drop/other/new.txt", "other");
        const std::string later = editor.dir.Write("drop/later.txt", "later");
        Drop(editor.List().CurrentView().viewport(), {dir, file, taken, dir + "/", editor.dir / "drop/none", later});
        // The directory twice, as two empty folders; the taken name refused,
        // the later file still added; the missing path skipped.
        QCOMPARE(editor.prompt.Texts(), std::vector<std::string>{"该文件夹下已经有一个 new.txt 存在！"});
        QCOMPARE(FilesIn(editor, "b"), (std::vector<std::string>{"later.txt", "new.txt"}));
        int photos = 0;
        for (const auto& child : editor.FolderNamed("b").children) {
            QCOMPARE(Utf8(child->name), std::string("photos"));
            QVERIFY(child->children.empty());
            ++photos;
        }
        QCOMPARE(photos, 2);
        QVERIFY(FilesIn(editor, "b/photos").empty());
        QCOMPARE(editor.ListNames().size(), size_t(4));
        QVERIFY(editor.Doc().IsModified());
    }

    void dropsRefuseNamesAPackCannotHold()
    {
        Editor editor;
        const std::string dir = editor.dir.MakeDir("drop/\xF0\x9F\x93\x81");  // a folder emoji
        const std::string file = editor.dir.Write("drop/\xF0\x9F\x98\x80.txt", "smile");
        const std::string fine = editor.dir.Write("drop/fine.txt", "fine");
        editor.List().AddDroppedFiles({dir, file, fine});
        Editor::Settle();
        QCOMPARE(editor.prompt.messages.size(), size_t(2));
        QCOMPARE(editor.ListNames(), std::vector<std::string>{"fine.txt"});
        QVERIFY(editor.Doc().GetCatalogue().Root().children.empty());
    }
};

std::unique_ptr<QObject> MakeTransferTest()
{
    return std::make_unique<TransferTest>();
}

}  // namespace tarvex::test

#include "TransferTest.moc"
