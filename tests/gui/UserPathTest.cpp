// A user's whole path through the editor: a new pack, files and folders
// added, renamed and deleted, saved with a password, reopened, extracted and
// compared byte for byte; saving over itself; packs exchanged with epk; the
// question about unsaved changes; failures that must lose nothing.
#include <QMenu>
#include <algorithm>
#include <QProcess>
#include <QSettings>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "catalogue/CatalogueEdits.h"
#include "editor/CLeftView.h"
#include "editor/CTarvexDoc.h"
#include "editor/CTarvexView.h"
#include "editor/FileListModel.h"
#include "format/PasswordKeys.h"
#include "shell/CMainFrame.h"
#include "talk/Messages.h"
#include "tests/gui/EditorHarness.h"
#include "ui/CommandIds.h"
#include "ui/MenuBuilder.h"
#include "ui/RecentFiles.h"

namespace tarvex::test {
namespace {

namespace fs = std::filesystem;

PasswordBlocks BlocksOf(const std::string& utf8)
{
    return DerivePasswordBlocks(Gbk(utf8));
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Every file below a folder by its relative path, with its bytes.
std::map<std::string, std::string> Tree(const fs::path& root)
{
    std::map<std::string, std::string> files;
    for (const auto& item : fs::recursive_directory_iterator(root))
        if (item.is_regular_file()) files[fs::relative(item.path(), root).string()] = ReadAll(item.path());
    return files;
}

std::string Binary(size_t n, unsigned seed)
{
    const std::vector<uint8_t> bytes = RandomBytes(n, seed);
    return {bytes.begin(), bytes.end()};
}

int RunEpk(const QStringList& args)
{
    QProcess epk;
    epk.start(QStringLiteral(EPK_PATH), args);
    if (!epk.waitForFinished(60000)) return -1;
    return epk.exitCode();
}

// Opens a pack through the Open command, answering its password question.
bool OpenThroughMenu(Editor& editor, const std::string& path, std::optional<PasswordBlocks> password)
{
    editor.choices.packsToOpen.push_back(path);
    editor.prompt.passwords.push_back(password);
    editor.Run(cmd::kFileOpen);
    return editor.Doc().GetPathName() == path;
}

}  // namespace

class UserPathTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QuietOffscreenNotices(); }

    void newPackToExtractedFilesAndBack()
    {
        TempDir work;
        const std::string pack = work / "游戏资源.epk";
        std::map<std::string, std::string> expected;
        {
            Editor editor;
            // Files in the root, a folder made and named in the list, files in it.
            editor.Insert({{"说明.txt", "第一版说明\n"}, {"logo.bmp", Binary(5000, 1)}, {"remove.me", "x"}});
            editor.List().setFocus();
            QVERIFY(editor.Run(cmd::kNewFolder));
            editor.FinishEdit(editor.List().CurrentView(), QStringLiteral("脚本"));
            editor.Select("脚本");
            editor.Insert({{"main.lua", std::string(3000, 'a') + "print('hi')"}, {"空.dat", ""}});
            editor.Tree().setFocus();
            QVERIFY(editor.Run(cmd::kNewFolder));
            editor.FinishEdit(editor.List().CurrentView(), QStringLiteral("子目录"));
            editor.Select("脚本\\子目录");
            editor.Insert({{"deep.bin", Binary(70000, 2)}});

            // Rename a file in the list, delete another.
            editor.Select("");
            editor.List().StartRename(editor.ListRowNamed("logo.bmp"));
            editor.FinishEdit(editor.List().CurrentView(), QStringLiteral("标志.bmp"));
            editor.List().SelectRow(editor.ListRowNamed("remove.me"));
            editor.List().setFocus();
            QVERIFY(editor.Run(cmd::kDelete));
            QVERIFY(editor.Doc().IsModified());

            // Save: untitled, so the name is asked for; then the password.
            editor.choices.savePaths.push_back(pack);
            editor.prompt.passwords.push_back(BlocksOf("芝麻开门"));
            QVERIFY(editor.Run(cmd::kFileSave));
            QVERIFY2(editor.prompt.messages.empty(),
                     editor.prompt.messages.empty() ? "" : editor.prompt.messages[0].text.c_str());
            QCOMPARE(editor.prompt.passwordQuestions, 1);
            QCOMPARE(editor.prompt.progressRange, 5u);
            QCOMPARE(editor.prompt.progressSteps, 5u);
            QVERIFY(!editor.Doc().IsModified());
            QCOMPARE(editor.Frame().windowTitle(), QStringLiteral("游戏资源.epk - Tarvex"));
            QCOMPARE(Utf8(editor.Doc().GetCatalogue().Root().name), std::string("游戏资源"));
            for (const FileEntry& e : editor.Doc().GetCatalogue().Entries()) QVERIFY(e.IsCarriedOver());
            QCOMPARE(editor.ListNames(), (std::vector<std::string>{"脚本", "标志.bmp", "说明.txt"}));
            QVERIFY(editor.List().Model().index(2, 5).data().toString().startsWith(QStringLiteral("<包内文件> ")));
        }
        expected["说明.txt"] = "第一版说明\n";
        expected["标志.bmp"] = Binary(5000, 1);
        expected["脚本/main.lua"] = std::string(3000, 'a') + "print('hi')";
        expected["脚本/空.dat"] = "";
        expected["脚本/子目录/deep.bin"] = Binary(70000, 2);

        Editor editor;
        // "不加密" at the password question is a wrong password.
        QVERIFY(!OpenThroughMenu(editor, pack, std::nullopt));
        QCOMPARE(editor.prompt.Texts(), std::vector<std::string>{msg::kWrongPassword});
        QVERIFY(OpenThroughMenu(editor, pack, BlocksOf("芝麻开门")));
        QCOMPARE(editor.ListNames(), (std::vector<std::string>{"脚本", "标志.bmp", "说明.txt"}));
        QCOMPARE(editor.Doc().Pack().Header().IsProtected(), true);

        // Extract a folder and a file of the root.
        const std::string out = work / "out";
        fs::create_directory(out);
        editor.List().SelectRow(editor.ListRowNamed("脚本"));
        editor.List().SelectRow(editor.ListRowNamed("标志.bmp"), true);
        editor.List().SelectRow(editor.ListRowNamed("说明.txt"), true);
        editor.choices.targetFolders.push_back(out);
        editor.prompt.messages.clear();
        QVERIFY(editor.Run(cmd::kExtract));
        QVERIFY(editor.prompt.messages.empty());
        QCOMPARE(Tree(out), expected);
        QCOMPARE(editor.prompt.progressRange, 5u);
        QVERIFY(std::any_of(editor.prompt.progressTexts.begin(), editor.prompt.progressTexts.end(), [&](const auto& t) {
            return t == "解压缩文件，请稍后...\n正在解压缩：main.lua  --->  " + out + "/脚本/main.lua";
        }));

        // epk reads the editor's pack with the same password.
        const std::string passwordFile = work.Write("password.txt", "芝麻开门\n");
        const std::string byEpk = work / "by-epk";
        QCOMPARE(RunEpk({"extract", QString::fromStdString(pack), QString::fromStdString(byEpk), "--password-file",
                         QString::fromStdString(passwordFile)}),
                 0);
        QCOMPARE(Tree(byEpk), expected);
    }

    void savingOverItselfKeepsEveryByte()
    {
        TempDir work;
        const std::string source = work.MakeDir("source");
        work.Write("source/a.txt", std::string(4000, 'q'));
        work.Write("source/sub/b.bin", Binary(9000, 3));
        work.Write("source/sub/deeper/c", "c");
        const std::string pack = work / "epk.epk";
        QCOMPARE(RunEpk({"create", QString::fromStdString(pack), QString::fromStdString(source), "--scheme", "lz"}), 0);

        Editor editor(pack);
        QVERIFY(editor.Started());
        editor.Insert({{"new.txt", "added"}});
        for (int round = 0; round < 2; ++round) {
            editor.prompt.passwords.push_back(PasswordBlocks{});
            QVERIFY(editor.Run(cmd::kFileSave));
            QCOMPARE(editor.Doc().GetPathName(), pack);
        }
        QVERIFY(editor.prompt.messages.empty());
        const std::string out = work / "out";
        QCOMPARE(RunEpk({"extract", QString::fromStdString(pack), QString::fromStdString(out)}), 0);
        std::map<std::string, std::string> expected = Tree(source);
        expected["new.txt"] = "added";
        QCOMPARE(Tree(out), expected);
    }

    void aCopyOfAPackedFileTakesItsBytesFromThePack()
    {
        TempDir work;
        const std::string source = work.MakeDir("source");
        work.Write("source/a.txt", "packed bytes of a");
        work.MakeDir("source/dest");
        work.Write("source/dest/keep", "k");
        const std::string pack = work / "p.epk";
        QCOMPARE(RunEpk({"create", QString::fromStdString(pack), QString::fromStdString(source)}), 0);
        Editor editor(pack);
        Catalogue& c = editor.Doc().GetCatalogue();
        size_t a = 0;
        while (Utf8(c.Entries()[a].name) != "a.txt") ++a;
        QCOMPARE(CopyFileEntry(c, editor.FolderNamed("dest").id, a, editor.prompt), EditResult::Done);
        editor.Doc().SetModifiedFlag();
        const std::string saved = work / "saved.epk";
        editor.prompt.passwords.push_back(PasswordBlocks{});
        QVERIFY(editor.Doc().OnSaveDocument(saved));
        const std::string out = work / "out";
        QCOMPARE(RunEpk({"extract", QString::fromStdString(saved), QString::fromStdString(out)}), 0);
        QCOMPARE(ReadAll(out + "/dest/a.txt"), std::string("packed bytes of a"));
        QCOMPARE(ReadAll(out + "/a.txt"), std::string("packed bytes of a"));
    }

    void packsOfAnEncoderPlugInShowAndExtract()
    {
        TempDir work;
        const std::string source = work.MakeDir("source");
        work.Write("source/text.txt", std::string(20000, 't') + "end");
        const std::string pack = work / "zstd.epk";
        QCOMPARE(RunEpk({"create", QString::fromStdString(pack), QString::fromStdString(source), "--scheme",
                         "zstd-strong.edl"}),
                 0);
        Editor editor(pack);
        QVERIFY(editor.Started());
        QCOMPARE(editor.List().Model().index(0, FileListModel::kScheme).data().toString(),
                 QStringLiteral("Zstandard 强力"));
        // The plug-in is listed in the row's scheme menu.
        CTarvexView& list = editor.List();
        const auto menu = list.MakeContextMenu(list.CurrentView().visualRect(list.Model().index(0, 0)).center());
        QMenu* schemes = FindSubmenu(*menu, QStringLiteral("选择编码\t(&S)"));
        QVERIFY(schemes);
        bool listed = false;
        for (QAction* action : schemes->actions())
            listed = listed || action->text() == QStringLiteral("Zstandard 强力\t(&0)");
        QVERIFY(listed);

        const std::string out = work.MakeDir("out");
        list.SelectAll();
        editor.choices.targetFolders.push_back(out);
        list.setFocus();
        QVERIFY(editor.Run(cmd::kExtract));
        QVERIFY(editor.prompt.messages.empty());
        QCOMPARE(ReadAll(out + "/text.txt"), std::string(20000, 't') + "end");
    }

    void aPackEditedByEpkOpensWithTheTreeEpkMade()
    {
        TempDir work;
        work.Write("source/readme.txt", std::string("read me"));
        work.Write("source/data/a.txt", std::string("aaa"));
        work.Write("source/data/sub/b.txt", std::string("bbb"));
        work.Write("more/图.bmp", Binary(300, 4));
        const QString pack = QString::fromStdString(work / "p.epk");
        const auto epk = [&](QStringList args) {
            args.insert(1, pack);
            return RunEpk(args);
        };
        QCOMPARE(RunEpk({"create", pack, QString::fromStdString(work / "source"), "--scheme", "lz"}), 0);
        QCOMPARE(epk({"add", QString::fromStdString(work / "more/图.bmp"), "--to", "图片/新"}), 0);
        QCOMPARE(epk({"mv", "data/sub", "图片"}), 0);
        QCOMPARE(epk({"rename", "data/a.txt", "A.txt"}), 0);
        QCOMPARE(epk({"cp", "readme.txt", "data"}), 0);
        QCOMPARE(epk({"rm", "readme.txt"}), 0);
        QCOMPARE(epk({"scheme", "data", "rle"}), 0);

        Editor editor(pack.toStdString());
        QVERIFY(editor.Started());
        QVERIFY(editor.prompt.messages.empty());
        const auto shown = [&](const std::string& folder) {
            editor.Select(folder);
            std::vector<std::string> names = editor.ListNames();
            std::sort(names.begin(), names.end());
            return names;
        };
        QCOMPARE(shown(""), (std::vector<std::string>{"data", "图片"}));
        QCOMPARE(shown("data"), (std::vector<std::string>{"A.txt", "readme.txt"}));
        QCOMPARE(shown("图片"), (std::vector<std::string>{"sub", "新"}));
        QCOMPARE(shown("图片/sub"), (std::vector<std::string>{"b.txt"}));
        QCOMPARE(shown("图片/新"), (std::vector<std::string>{"图.bmp"}));

        const std::string out = work.MakeDir("out");
        editor.Select("");
        CTarvexView& list = editor.List();
        list.SelectAll();
        editor.choices.targetFolders.push_back(out);
        list.setFocus();
        QVERIFY(editor.Run(cmd::kExtract));
        QCOMPARE(Tree(out), (std::map<std::string, std::string>{{"data/A.txt", "aaa"},
                                                                {"data/readme.txt", "read me"},
                                                                {"图片/sub/b.txt", "bbb"},
                                                                {"图片/新/图.bmp", Binary(300, 4)}}));
    }

    // Another program saves over the open pack, then the pack the editor
    // holds is moved away: the user's work is never written over that
    // program's change unasked, goes elsewhere when the user says so, with
    // the bytes that were read, and the moved pack still extracts.
    void aPackChangedOnDiskIsNeverOverwrittenUnasked()
    {
        TempDir work;
        const std::string source = work.MakeDir("source");
        work.Write("source/a.txt", std::string(3000, 'a'));
        work.Write("source/sub/b.bin", Binary(5000, 4));
        const std::string pack = work / "p.epk";
        QCOMPARE(RunEpk({"create", QString::fromStdString(pack), QString::fromStdString(source), "--scheme", "lz"}), 0);
        Editor editor(pack);
        editor.Insert({{"new.txt", "mine"}});
        QCOMPARE(RunEpk({"mkdir", QString::fromStdString(pack), "theirs"}), 0);
        const std::string theirs = ReadAll(pack);

        const std::string mine = work / "mine.epk";
        editor.prompt.answers = {MsgAnswer::Yes};
        editor.choices.savePaths.push_back(mine);
        editor.prompt.passwords.push_back(PasswordBlocks{});
        QVERIFY(editor.Run(cmd::kFileSave));
        QCOMPARE(editor.prompt.messages.size(), size_t{1});
        QCOMPARE(editor.prompt.messages[0].buttons, MsgButtons::YesNo);
        QVERIFY(editor.prompt.messages[0].text.find(pack + "打开以后已被另一个程序") != std::string::npos);
        QCOMPARE(ReadAll(pack), theirs);
        QCOMPARE(editor.Doc().GetPathName(), mine);
        std::map<std::string, std::string> expected = Tree(source);
        expected["new.txt"] = "mine";
        QCOMPARE(RunEpk({"extract", QString::fromStdString(mine), QString::fromStdString(work / "out")}), 0);
        QCOMPARE(Tree(work / "out"), expected);

        fs::rename(mine, work / "moved.epk");
        editor.Select("sub");
        editor.List().SelectAll();
        editor.List().setFocus();
        editor.choices.targetFolders.push_back(work.MakeDir("again"));
        QVERIFY(editor.Run(cmd::kExtract));
        QCOMPARE(ReadAll(work / "again/b.bin"), expected.at("sub/b.bin"));
        editor.Insert({{"later.txt", "l"}});
        editor.prompt.messages.clear();
        editor.prompt.answers = {MsgAnswer::No};
        QVERIFY(!editor.Run(cmd::kFileSave) || !fs::exists(mine));
        QCOMPARE(editor.prompt.messages.size(), size_t{1});
        QVERIFY(!fs::exists(mine));
        QVERIFY(editor.Doc().IsModified());
    }

    void extractionSkipsFilesNotSavedYetAndSaysWhich()
    {
        TempDir work;
        Editor editor;
        editor.Insert({{"new.txt", "n"}});
        editor.List().SelectAll();
        editor.choices.targetFolders.push_back(work.Path());
        editor.List().setFocus();
        editor.Run(cmd::kExtract);
        QCOMPARE(editor.prompt.Texts(), std::vector<std::string>{Printf(msg::kNotInPackYet, "new.txt\n")});
        QVERIFY(work.List().empty());

        // Cancelling the folder picker does nothing at all.
        editor.prompt.messages.clear();
        editor.Run(cmd::kExtract);
        QCOMPARE(editor.choices.folderQuestions, 2);
        QVERIFY(editor.prompt.messages.empty());
    }

    void unsavedChangesAreAskedAbout()
    {
        TempDir work;
        Editor editor;
        editor.Insert({{"a.txt", "a"}});
        // Cancel keeps everything.
        editor.prompt.answers = {MsgAnswer::Cancel};
        editor.Run(cmd::kFileNew);
        QCOMPARE(editor.prompt.messages.at(0).text, std::string("是否保存对 无标题 的更改？"));
        QCOMPARE(editor.prompt.messages.at(0).buttons, MsgButtons::YesNoCancel);
        QCOMPARE(editor.Doc().GetCatalogue().Entries().size(), size_t{1});
        QVERIFY(editor.Doc().IsModified());
        // Yes saves first (the untitled pack gets a name), then the new pack.
        editor.prompt.answers = {MsgAnswer::Yes};
        editor.choices.savePaths.push_back(work / "kept.epk");
        editor.prompt.passwords.push_back(PasswordBlocks{});
        editor.Run(cmd::kFileNew);
        QVERIFY(fs::exists(work / "kept.epk"));
        QVERIFY(editor.Doc().GetCatalogue().Entries().empty());
        QCOMPARE(editor.Frame().windowTitle(), QStringLiteral("无标题 - Tarvex"));
        // No discards.
        editor.Insert({{"b.txt", "b"}});
        editor.prompt.answers = {MsgAnswer::No};
        editor.Run(cmd::kFileNew);
        QVERIFY(editor.Doc().GetCatalogue().Entries().empty());
        QVERIFY(!editor.Doc().IsModified());
        // Closing the window asks as well; Cancel keeps it open.
        editor.Insert({{"c.txt", "c"}});
        editor.prompt.answers = {MsgAnswer::Cancel};
        QVERIFY(!editor.Frame().close());
        QVERIFY(editor.Frame().isVisible());
    }

    void failuresLeaveTheDocumentAndTheOldPackAlone()
    {
        TempDir work;
        const std::string junk = work.Write("junk.epk", "this is not a pack at all");
        {
            // A pack named on the command line that cannot be opened ends start-up.
            Editor failed(junk);
            QVERIFY(!failed.Started());
            QCOMPARE(failed.prompt.Texts(), std::vector<std::string>{msg::kNotAPack});
        }
        Editor editor;
        editor.Insert({{"a.txt", "a"}});
        QVERIFY(!OpenThroughMenu(editor, junk, std::nullopt));
        QCOMPARE(editor.Doc().GetCatalogue().Entries().size(), size_t{1});
        QCOMPARE(editor.ListNames(), std::vector<std::string>{"a.txt"});
        QVERIFY(editor.Doc().IsModified());

        // A save into a folder that does not exist fails and changes nothing.
        editor.prompt.messages.clear();
        editor.choices.savePaths.push_back(work / "missing/x.epk");
        editor.prompt.passwords.push_back(PasswordBlocks{});
        QVERIFY(editor.Run(cmd::kFileSaveAs));
        QCOMPARE(editor.prompt.messages.size(), size_t{1});
        QCOMPARE(editor.prompt.messages[0].icon, MsgIcon::Error);
        QVERIFY(editor.Doc().IsModified());
        QVERIFY(editor.Doc().GetPathName().empty());
        QVERIFY(!editor.Doc().GetCatalogue().Entries()[0].IsCarriedOver());
    }

    void recentFilesReopenPacks()
    {
        QSettings(QStringLiteral("@Z--V Studio"), QStringLiteral("Tarvex")).remove(QStringLiteral("Recent File List"));
        TempDir work;
        Editor editor;
        editor.Insert({{"a.txt", "a"}});
        const std::string pack = work / "recent.epk";
        editor.choices.savePaths.push_back(pack);
        editor.prompt.passwords.push_back(PasswordBlocks{});
        QVERIFY(editor.Run(cmd::kFileSaveAs));
        QVERIFY(editor.Run(cmd::kFileNew));
        QVERIFY(editor.App().Router().State(cmd::kFileMruFirst).enabled);
        QVERIFY(editor.Run(cmd::kFileMruFirst));
        QCOMPARE(editor.Doc().GetPathName(), pack);
        QCOMPARE(editor.ListNames(), std::vector<std::string>{"a.txt"});

        // A pack that is gone leaves the list after the failed open.
        QVERIFY(editor.Run(cmd::kFileNew));
        fs::remove(pack);
        QVERIFY(editor.Run(cmd::kFileMruFirst));
        QVERIFY(editor.Doc().GetPathName().empty());
        QVERIFY(!editor.App().Recent().Paths().contains(QString::fromStdString(pack)));
        QVERIFY(!editor.App().Router().State(cmd::kFileMruFirst).enabled);
    }
};

std::unique_ptr<QObject> MakeUserPathTest()
{
    return std::make_unique<UserPathTest>();
}

}  // namespace tarvex::test

#include "UserPathTest.moc"
