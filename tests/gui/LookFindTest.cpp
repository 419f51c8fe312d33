// Looking into files without extracting them (the quick look on Space),
// finding files by name (F3), and a file edited in its own program offered
// back to the pack.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <fstream>

#include "base/Printf.h"
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueEdits.h"
#include "editor/CLeftView.h"
#include "editor/CTarvexDoc.h"
#include "editor/CTarvexView.h"
#include "editor/ExternalEdits.h"
#include "editor/FileListModel.h"
#include "editor/FindFilesWindow.h"
#include "editor/HexView.h"
#include "editor/ImagePreview.h"
#include "editor/QuickLookWindow.h"
#include "editor/TextPreview.h"
#include "schemes/SchemeId.h"
#include "tests/gui/EditorHarness.h"
#include "ui/CommandIds.h"

namespace tarvex::test {
namespace {

constexpr const char* kChangedOutside = "文件“%s”已在外部程序中被修改，是否更新到文件包中？";

std::string PngOf(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

void WriteFile(const QString& path, const std::string& bytes)
{
    std::ofstream(path.toStdString(), std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadFile(const QString& path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

const FileEntry& EntryNamed(Editor& editor, const std::string& name)
{
    for (const FileEntry& e : editor.Doc().GetCatalogue().Entries())
        if (e.name == Gbk(name)) return e;
    throw std::runtime_error("no entry " + name);
}

// The row of the file selected in the list, and Space unless the quick
// look is open already (it follows the row).
QuickLookWindow& LookAt(Editor& editor, const std::string& name)
{
    editor.SelectRows({name});
    QuickLookWindow* open = editor.List().QuickLook();
    if (!open || !open->isVisible()) QTest::keyClick(&editor.List().CurrentView(), Qt::Key_Space);
    QuickLookWindow* look = editor.List().QuickLook();
    if (!look || !look->isVisible()) throw std::runtime_error("no quick look of " + name);
    return *look;
}

}  // namespace

class LookFindTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QuietOffscreenNotices(); }

    // Files of the pack are decoded by their schemes, a file added since the
    // save is read from disk; each is shown as what its bytes are.
    void quickLookShowsTextImagesAndBytes()
    {
        Editor editor;
        const std::string bigText(9 << 20, 'x');
        editor.Insert({{"utf8.txt", "第一行\nline 2\n"},
                       {"mislabelled.bmp", PngOf(2, 3)},
                       {"bom.lua", "\xEF\xBB\xBF-- 注释\nx = 1\n"},
                       {"utf16.txt", std::string("\xFF\xFE\x2D\x4E\n\0\x87\x65", 8)},
                       {"tiles.png", PngOf(40, 30)},
                       {"level1.map", std::string("\x00\x01\x02MAP\xFF", 7)},
                       {"big.txt", bigText}});
        editor.SelectRows({"utf8.txt", "bom.lua", "utf16.txt", "tiles.png", "level1.map", "big.txt"});
        QVERIFY(editor.Run(cmd::kSchemeLz));
        editor.choices.savePaths.push_back(editor.dir / "look.epk");
        QVERIFY(editor.Run(cmd::kFileSaveAs));
        editor.Insert({{"gbk.ini", "\xD6\xD0\xCE\xC4=1\r\n[a]\r\nb=2\r\n"}});

        struct Case {
            const char* name;
            QuickLookWindow::Page page;
            const char* description;
            const char* title;
            QString shown;  // the text, or the first hex line
        };
        const Case cases[] = {
            {"utf8.txt", QuickLookWindow::Page::Text, "文本，UTF-8编码，2行", "utf8.txt - 17字节 - ZIV",
             QStringLiteral("第一行\nline 2\n")},
            {"bom.lua", QuickLookWindow::Page::Text, "文本，UTF-8 BOM编码，2行", "bom.lua - 19字节 - ZIV",
             QStringLiteral("-- 注释\nx = 1\n")},
            {"utf16.txt", QuickLookWindow::Page::Text, "文本，UTF-16LE编码，2行", "utf16.txt - 8字节 - ZIV",
             QStringLiteral("中\n文")},
            {"gbk.ini", QuickLookWindow::Page::Text, "文本，GBK编码，3行", "gbk.ini - 18字节 - 不编码",
             QStringLiteral("中文=1\r\n[a]\r\nb=2\r\n")},
            {"tiles.png", QuickLookWindow::Page::Image, "图像，PNG格式，40 × 30像素", "tiles.png", {}},
            {"mislabelled.bmp", QuickLookWindow::Page::Image, "图像，PNG格式，2 × 3像素", "mislabelled.bmp", {}},
            {"level1.map", QuickLookWindow::Page::Hex, "二进制文件，按十六进制显示", "level1.map - 7字节 - ZIV",
             QStringLiteral("00000000  00 01 02 4D 41 50 FF")},
            {"big.txt", QuickLookWindow::Page::Text, "文本，UTF-8编码，1行（文件超过8MB，只显示了前8MB）",
             "big.txt - 9437184字节 - ZIV", QString(8 << 20, QLatin1Char('x'))},
        };
        for (const Case& c : cases) {
            QuickLookWindow& look = LookAt(editor, c.name);
            QCOMPARE(look.Shown(), c.page);
            QCOMPARE(look.Description(), QString::fromUtf8(c.description));
            QVERIFY2(look.windowTitle().startsWith(QString::fromUtf8(c.title)), qPrintable(look.windowTitle()));
            if (c.page == QuickLookWindow::Page::Text) {
                QCOMPARE(look.Text().toPlainText(), QString(c.shown).replace(QStringLiteral("\r\n"), "\n"));
                QVERIFY(look.Text().MarginWidth() > 0);
            } else if (c.page == QuickLookWindow::Page::Image) {
                QVERIFY(!look.Image().Image().isNull());
            } else {
                QVERIFY(look.Hex().LineText(0).startsWith(c.shown));
                QVERIFY(look.Hex().LineText(0).endsWith(QStringLiteral("...MAP.")));
            }
            QTest::keyClick(&editor.List().CurrentView(), Qt::Key_Space);
            QVERIFY(!look.isVisible());
        }

        // A pack written to since it was read: the extraction's own message,
        // in the window.
        const size_t boxes = editor.prompt.messages.size();
        std::ofstream(editor.dir / "look.epk", std::ios::app) << "x";
        QuickLookWindow& look = LookAt(editor, "utf8.txt");
        QCOMPARE(look.Shown(), QuickLookWindow::Page::Note);
        const std::string path = editor.dir / "look.epk";
        QCOMPARE(
            look.Note().toStdString(),
            Printf("无法打开文件%s！\n文件包%s打开以后被另一个程序改写了，包中的文件已无法读出。请重新打开文件包。",
                   path.c_str(), path.c_str()));
        QVERIFY(!look.OpenButton().isEnabled());
        QCOMPARE(editor.prompt.messages.size(), boxes);
    }

    // While it is open the quick look shows the current row; Esc closes it.
    void quickLookFollowsTheListAndCloses()
    {
        Editor editor;
        editor.Insert({{"a.txt", "A"}, {"b.txt", "B"}});
        QuickLookWindow& look = LookAt(editor, "b.txt");
        QCOMPARE(look.Text().toPlainText(), QStringLiteral("B"));
        QTest::keyClick(&editor.List().CurrentView(), Qt::Key_Down);
        QCOMPARE(look.Text().toPlainText(), QStringLiteral("A"));
        QTest::keyClick(&editor.List().CurrentView(), Qt::Key_Up);
        QCOMPARE(look.Text().toPlainText(), QStringLiteral("B"));
        QTest::keyClick(&editor.List().CurrentView(), Qt::Key_Escape);
        QVERIFY(!look.isVisible());
        QTest::keyClick(&editor.List().CurrentView(), Qt::Key_Down);
        QVERIFY(!look.isVisible());
    }

    // One pass over 100,000 entries; a chosen file is shown in its folder.
    void findListsMatchesOfAHundredThousandFiles()
    {
        Editor editor;
        Catalogue& catalogue = editor.Doc().GetCatalogue();
        const char* kinds[] = {"PNG", "txt", "wav"};
        for (int f = 0; f < 10; ++f) {
            Folder* folder = catalogue.InsertFolder("dir" + std::to_string(f), -1, catalogue.Root());
            for (int i = 0; i < 10000; ++i) {
                FileEntry entry;
                entry.name = f == 7 && i == 7777 ? Gbk("游戏说明.txt") : Printf("f%d_%05d.%s", f, i, kinds[i % 3]);
                entry.folderId = folder->id;
                entry.sourcePath = editor.dir / "none";
                catalogue.AppendEntry(std::move(entry));
            }
        }
        editor.Tree().ResetTree(true);
        QTest::keyClick(&editor.List().CurrentView(), Qt::Key_F3);
        FindFilesWindow* find = editor.List().FindWindow();
        QVERIFY(find && find->isVisible());

        struct Case {
            const char* pattern;
            int count;
            std::vector<std::string> first;  // the first rows: name and folder
        };
        const Case cases[] = {
            {"f3_0001?.png", 3, {"f3_00012.PNG", "dir3", "f3_00015.PNG", "dir3", "f3_00018.PNG", "dir3"}},
            {"*.PnG", 10 * 3334, {"f0_00000.PNG", "dir0"}},
            {"说明", 1, {"游戏说明.txt", "dir7"}},
            {"F?_00000.*", 10, {"f0_00000.PNG", "dir0", "f1_00000.PNG", "dir1"}},
            {"*.zip", 0, {}},
            {"", 0, {}},
        };
        FoundFilesModel& found = find->Found();
        for (const Case& c : cases) {
            find->Pattern().setText(QString::fromUtf8(c.pattern));
            QCOMPARE(found.rowCount(), c.count);
            for (size_t k = 0; k < c.first.size(); k += 2) {
                const int row = static_cast<int>(k / 2);
                QCOMPARE(found.index(row, FoundFilesModel::kName).data().toString().toStdString(), c.first[k]);
                QCOMPARE(found.index(row, FoundFilesModel::kFolder).data().toString().toStdString(), c.first[k + 1]);
            }
        }

        find->Pattern().setText(QStringLiteral("说明"));
        emit find->Results().activated(found.index(0, 0));
        Editor::Settle();
        QCOMPARE(Utf8(editor.Tree().CurrentFolder().name), std::string("dir7"));
        const std::vector<ListRow> selected = editor.List().SelectedItems();
        QCOMPARE(selected.size(), size_t{1});
        QCOMPARE(Utf8(catalogue.Entries()[selected[0].ref].name), std::string("游戏说明.txt"));
    }

    // The results follow the pack: a folder renamed, the folders numbered
    // afresh by a save, another pack opened and searched again.
    void findShowsFilesAsThePackHasThem()
    {
        Editor editor;
        Folder& root = editor.Doc().GetCatalogue().Root();
        Folder* gone = editor.Tree().InsertFolder("gone", -1, &root);
        editor.Tree().InsertFolder("kept", -1, &root);
        editor.Select("kept");
        editor.Insert({{"x.txt", "x"}});
        editor.Tree().RemoveFolderTree(*gone);
        QTest::keyClick(&editor.List().CurrentView(), Qt::Key_F3);
        FindFilesWindow& find = *editor.List().FindWindow();
        find.Pattern().setText(QStringLiteral("x"));
        const auto shown = [&find] {
            FoundFilesModel& found = find.Found();
            QStringList rows;
            for (int row = 0; row < found.rowCount(); ++row)
                rows << found.index(row, 0).data().toString() + "|" + found.index(row, 1).data().toString();
            return rows;
        };
        QCOMPARE(shown(), QStringList{"x.txt|kept"});
        QCOMPARE(RenameFolder(editor.FolderNamed("kept"), "改名", editor.prompt), EditResult::Done);
        QCOMPARE(shown(), QStringList{"x.txt|改名"});
        const std::string pack = editor.dir / "find.epk";
        editor.choices.savePaths.push_back(pack);
        QVERIFY(editor.Run(cmd::kFileSaveAs));
        QCOMPARE(shown(), QStringList{"x.txt|改名"});
        QVERIFY(editor.Doc().OnOpenDocument(pack));
        QCOMPARE(shown(), QStringList{"x.txt|改名"});
    }

    // The copy opened in its own program is watched; a change is offered to
    // the pack and Yes replaces the file's content as replacing it by hand
    // would. The copies go when the document closes.
    void aFileEditedInItsOwnProgramIsOfferedBack()
    {
        Editor editor;
        editor.Insert({{"说明.txt", "旧的内容\n"}});
        editor.SelectRows({"说明.txt"});
        QVERIFY(editor.Run(cmd::kSchemeLz));
        const std::string pack = editor.dir / "edit.epk";
        editor.choices.savePaths.push_back(pack);
        QVERIFY(editor.Run(cmd::kFileSaveAs));

        ExternalEdits& external = editor.Doc().External();
        QString opened;
        external.UseOpener([&](const QString& path) {
            opened = path;
            return true;
        });
        QuickLookWindow& look = LookAt(editor, "说明.txt");
        look.OpenButton().click();
        QVERIFY(opened.startsWith(external.Folder() + QLatin1Char('/')));
        QVERIFY(opened.endsWith(QStringLiteral("/说明.txt")));
        QCOMPARE(ReadFile(opened), std::string("旧的内容\n"));
        editor.prompt.messages.clear();

        // The watcher notices the change; No leaves the pack as it was, and
        // the same change is not asked about again.
        WriteFile(opened, "改过一次\n");
        QTRY_COMPARE(editor.prompt.messages.size(), size_t{1});
        const std::string question = Printf(kChangedOutside, "说明.txt");
        QCOMPARE(editor.prompt.messages[0].text, question);
        QCOMPARE(editor.prompt.messages[0].icon, MsgIcon::Question);
        QCOMPARE(editor.prompt.messages[0].buttons, MsgButtons::YesNo);
        QVERIFY(!editor.Doc().IsModified());
        QVERIFY(EntryNamed(editor, "说明.txt").IsCarriedOver());
        external.CheckCopies();
        QCOMPARE(editor.prompt.messages.size(), size_t{1});

        WriteFile(opened, "改过两次的内容\n");
        editor.prompt.answers.push_back(MsgAnswer::Yes);
        external.CheckCopies();
        QCOMPARE(editor.prompt.Texts(), (std::vector<std::string>{question, question}));
        const FileEntry& entry = EntryNamed(editor, "说明.txt");
        QVERIFY(!entry.IsCarriedOver());
        QCOMPARE(int(entry.scheme), int(kSchemeLz));
        QCOMPARE(entry.fileSize, uint32_t(std::string("改过两次的内容\n").size()));
        QVERIFY(editor.Doc().IsModified());
        const int row = editor.ListRowNamed("说明.txt");
        QCOMPARE(editor.List().Model().index(row, FileListModel::kEncodedSize).data().toString(),
                 QStringLiteral("未知"));
        QCOMPARE(look.Text().toPlainText(), QStringLiteral("改过两次的内容\n"));

        // A copy made in the pack keeps the content it was made with when
        // the file takes a later change.
        Catalogue& catalogue = editor.Doc().GetCatalogue();
        Folder* copies = editor.Tree().InsertFolder(Gbk("副本"), -1, &catalogue.Root());
        const size_t index = static_cast<size_t>(&entry - catalogue.Entries().data());
        QCOMPARE(CopyFileEntry(catalogue, copies->id, index, editor.prompt), EditResult::Done);
        WriteFile(opened, "第三次的内容\n");
        editor.prompt.answers.push_back(MsgAnswer::Yes);
        external.CheckCopies();
        QCOMPARE(look.Text().toPlainText(), QStringLiteral("第三次的内容\n"));
        // What the pack takes is the file as it was at Yes.
        WriteFile(opened, "没有确认的修改\n");

        QVERIFY(editor.Run(cmd::kFileSave));
        const QString folder = external.Folder();
        QVERIFY(QDir(folder).exists());
        QVERIFY(editor.Doc().OnOpenDocument(pack));
        QVERIFY(external.Folder().isEmpty());
        QVERIFY(!QDir(folder).exists());
        QCOMPARE(LookAt(editor, "说明.txt").Text().toPlainText(), QStringLiteral("第三次的内容\n"));
        editor.Select("副本");
        QCOMPARE(LookAt(editor, "说明.txt").Text().toPlainText(), QStringLiteral("改过两次的内容\n"));
    }
};

std::unique_ptr<QObject> MakeLookFindTest()
{
    return std::make_unique<LookFindTest>();
}

}  // namespace tarvex::test

#include "LookFindTest.moc"
