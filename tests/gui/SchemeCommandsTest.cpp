// Scheme commands and their list columns, the encode test answered through
// the program's own boxes, the plug-in chooser with the test modules, and a
// pack given every scheme that comes back byte for byte.
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "base/GbkText.h"
#include "catalogue/Catalogue.h"
#include "editor/CLeftView.h"
#include "editor/CTarvexDoc.h"
#include "editor/CTarvexView.h"
#include "editor/FileListModel.h"
#include "schemes/ModuleSpeed.h"
#include "schemes/SchemeId.h"
#include "schemes/SizeText.h"
#include "tests/gui/EditorHarness.h"
#include "tests/plugins/ModuleFolder.h"
#include "ui/CPluginChooserDlg.h"
#include "ui/CommandIds.h"

namespace tarvex::test {
namespace {

constexpr const char* kEmptyRefused = "0字节的文件不能使用任何编码方案！";
constexpr const char* kNoPlugins = "没有发现任何可用的外部编码插件！";

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

QString Cell(Editor& editor, const std::string& name, int column)
{
    const int row = editor.ListRowNamed(name);
    return editor.List().Model().index(row, column).data().toString();
}

const FileEntry& EntryNamed(Editor& editor, const std::string& name)
{
    for (const FileEntry& e : editor.Doc().GetCatalogue().Entries())
        if (e.name == Gbk(name)) return e;
    throw std::runtime_error("no entry " + name);
}

// Runs fn once the chooser is the modal window: used to answer it.
void WhenChooserOpens(std::function<void(CPluginChooserDlg&)> fn)
{
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [fn, poll] {
        auto* chooser = qobject_cast<CPluginChooserDlg*>(QApplication::activeModalWidget());
        if (!chooser) {
            QTimer::singleShot(10, *poll);
            return;
        }
        fn(*chooser);
    };
    QTimer::singleShot(0, *poll);
}

QString Text(QWidget& dialog, int id)
{
    return dialog.findChild<QLabel*>(QStringLiteral("ctl%1").arg(id))->text();
}

QPushButton& Button(QWidget& dialog, int id)
{
    return *dialog.findChild<QPushButton*>(QStringLiteral("ctl%1").arg(id));
}

}  // namespace

class SchemeCommandsTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QuietOffscreenNotices(); }

    void schemeCommandsSetTheColumns_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("scheme");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("known");
        QTest::addRow("none") << cmd::kSchemeNone << int(kSchemeNone) << QStringLiteral("不编码") << true;
        QTest::addRow("rle") << cmd::kSchemeRle << int(kSchemeRle) << QString() << false;
        QTest::addRow("lz") << cmd::kSchemeLz << int(kSchemeLz) << QString() << false;
    }

    void schemeCommandsSetTheColumns()
    {
        QFETCH(int, id);
        QFETCH(int, scheme);
        QFETCH(bool, known);
        Editor editor;
        editor.Insert({{"a.txt", std::string(300, 'a')}, {"b.txt", std::string(40, 'b')}});
        // Away from none first, so that every command changes something.
        editor.SelectRows({"a.txt", "b.txt"});
        QVERIFY(editor.Run(id == cmd::kSchemeRle ? cmd::kSchemeLz : cmd::kSchemeRle));
        editor.Doc().SetModifiedFlag(false);

        QVERIFY(editor.Run(id));
        for (const std::string name : {"a.txt", "b.txt"}) {
            const FileEntry& e = EntryNamed(editor, name);
            QCOMPARE(int(e.scheme), scheme);
            QCOMPARE(Cell(editor, name, FileListModel::kScheme),
                     QString::fromStdString(SchemeName(e.scheme, editor.Doc().GetCatalogue().Plugins())));
            const QString encoded = Cell(editor, name, FileListModel::kEncodedSize);
            QCOMPARE(encoded == QStringLiteral("未知"), !known);
            if (known) QCOMPARE(encoded, QString::fromStdString(FormatSizeText(e.fileSize)));
            QCOMPARE(Cell(editor, name, FileListModel::kRatio),
                     QString::fromStdString(FormatRatioText(e.fileSize, e.encodedSize)));
        }
        QVERIFY(editor.Doc().IsModified());
        QVERIFY(editor.prompt.messages.empty());
    }

    void anEmptyFileKeepsItsSchemeAndTheOthersChange()
    {
        Editor editor;
        editor.Insert({{"empty.txt", ""}, {"full.txt", "xyz"}});
        editor.SelectRows({"empty.txt", "full.txt"});
        QVERIFY(editor.Run(cmd::kSchemeRle));
        QCOMPARE(editor.prompt.Texts(), std::vector<std::string>{kEmptyRefused});
        QCOMPARE(editor.prompt.messages[0].icon, MsgIcon::Warning);
        QCOMPARE(int(EntryNamed(editor, "empty.txt").scheme), int(kSchemeNone));
        QCOMPARE(int(EntryNamed(editor, "full.txt").scheme), int(kSchemeRle));
    }

    void theSchemeOfThePackBringsBackItsStoredSizes()
    {
        Editor editor;
        editor.Insert({{"text.txt", std::string(5000, 'q')}});
        editor.SelectRows({"text.txt"});
        QVERIFY(editor.Run(cmd::kSchemeLz));
        const std::string pack = editor.dir / "stored.epk";
        editor.choices.savePaths.push_back(pack);
        QVERIFY(editor.Run(cmd::kFileSaveAs));
        const QString stored = Cell(editor, "text.txt", FileListModel::kEncodedSize);
        const QString ratio = Cell(editor, "text.txt", FileListModel::kRatio);
        QVERIFY(stored != QStringLiteral("未知"));

        editor.SelectRows({"text.txt"});
        QVERIFY(editor.Run(cmd::kSchemeRle));
        QCOMPARE(Cell(editor, "text.txt", FileListModel::kEncodedSize), QStringLiteral("未知"));
        QVERIFY(editor.Run(cmd::kSchemeLz));
        QCOMPARE(Cell(editor, "text.txt", FileListModel::kEncodedSize), stored);
        QCOMPARE(Cell(editor, "text.txt", FileListModel::kRatio), ratio);
    }

    void plugInCommandsGiveTheirSlotsCode()
    {
        Editor editor;
        editor.Insert({{"a.txt", "abc"}});
        Catalogue& catalogue = editor.Doc().GetCatalogue();
        for (int k = 0; k <= 64; ++k)
            QVERIFY(catalogue.AddPlugin("m" + std::to_string(k) + ".edl", "Module " + std::to_string(k), 1));
        editor.SelectRows({"a.txt"});
        for (const auto& [id, code] :
             {std::pair{cmd::kPluginSchemeFirst, 0x80}, std::pair{cmd::kPluginSchemeFirst + 7, 0x87},
              std::pair{cmd::kPluginSchemeLast, 0xC0}}) {
            QVERIFY(editor.Run(id));
            QCOMPARE(int(EntryNamed(editor, "a.txt").scheme), code);
            QCOMPARE(Cell(editor, "a.txt", FileListModel::kScheme), QStringLiteral("Module %1").arg(code - 0x80));
        }
    }

    // The advice question through the program's own boxes: Yes drops the
    // scheme, No keeps it with the size the encoder left. LZ declines the
    // tiny file; a module declines when its Encode says no. A module's
    // success is measured without a question, even when it grew the file.
    void theEncodeTestAdvisesAgainstSchemesThatDecline_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("decliner");  // the tiny file's module; none: LZ for both files
        QTest::addRow("lz yes") << QStringLiteral("是(&Y)") << QString();
        QTest::addRow("lz no") << QStringLiteral("否(&N)") << QString();
        QTest::addRow("module yes") << QStringLiteral("是(&Y)") << QStringLiteral("t-encodefails.edl");
        QTest::addRow("module no") << QStringLiteral("否(&N)") << QStringLiteral("t-encodefails.edl");
    }

    void theEncodeTestAdvisesAgainstSchemesThatDecline()
    {
        QFETCH(QString, button);
        QFETCH(QString, decliner);
        Editor editor({}, true);
        // LZ never makes 13 bytes or fewer smaller; the test module's
        // encoding is 4 bytes longer than the file.
        editor.Insert({{"tiny.txt", "abcdefghijkl"}, {"big.txt", std::string(4000, 'z')}});
        int tinyCommand = cmd::kSchemeLz;
        int bigCommand = cmd::kSchemeLz;
        if (!decliner.isEmpty()) {
            editor.Doc().UsePlugins(PluginHost(InstallModules(editor.dir, {decliner.toStdString(), "t-full.edl"})));
            Catalogue& catalogue = editor.Doc().GetCatalogue();
            tinyCommand = cmd::kPluginSchemeFirst + PluginSlotOf(*catalogue.AddPlugin(decliner.toStdString(), "D", 1));
            bigCommand = cmd::kPluginSchemeFirst + PluginSlotOf(*catalogue.AddPlugin("t-full.edl", "F", 1));
        }
        editor.SelectRows({"tiny.txt"});
        QVERIFY(editor.Run(tinyCommand));
        editor.SelectRows({"big.txt"});
        QVERIFY(editor.Run(bigCommand));
        const int tinyScheme = EntryNamed(editor, "tiny.txt").scheme;
        editor.Doc().SetModifiedFlag(false);

        editor.SelectRows({"tiny.txt", "big.txt"});
        BoxAnswerer box(button);
        QVERIFY(editor.Run(cmd::kTestEncode));
        QVERIFY(box.answered);
        QCOMPARE(box.text, QStringLiteral("tiny.txt不建议使用此方案编码,越压越大\n是否接受建议?"));
        QCOMPARE(box.icon, QMessageBox::Question);
        const FileEntry& tiny = EntryNamed(editor, "tiny.txt");
        if (button == QStringLiteral("是(&Y)")) {
            QCOMPARE(int(tiny.scheme), int(kSchemeNone));
            QCOMPARE(tiny.encodedSize, tiny.fileSize);
            QVERIFY(editor.Doc().IsModified());
        } else if (decliner.isEmpty()) {
            QCOMPARE(int(tiny.scheme), tinyScheme);
            QVERIFY(tiny.encodedSize >= tiny.fileSize && tiny.encodedSize != kUnknownSize);
        } else {
            // The module left no length: the size stays unknown.
            QCOMPARE(int(tiny.scheme), tinyScheme);
            QCOMPARE(tiny.encodedSize, kUnknownSize);
        }
        // The other file was measured, with no question, and the list shows it.
        const FileEntry& big = EntryNamed(editor, "big.txt");
        QVERIFY(decliner.isEmpty() ? big.encodedSize < big.fileSize : big.encodedSize == big.fileSize + 4);
        QCOMPARE(Cell(editor, "big.txt", FileListModel::kEncodedSize),
                 QString::fromStdString(FormatSizeText(big.encodedSize)));
        QCOMPARE(Cell(editor, "tiny.txt", FileListModel::kScheme),
                 QString::fromStdString(SchemeName(tiny.scheme, editor.Doc().GetCatalogue().Plugins())));
    }

    void theEncodeTestShowsProgressAndReadsPackedFiles()
    {
        Editor editor;
        editor.Insert({{"packed.txt", std::string(3000, 'p')}, {"gone.txt", "will be deleted"}});
        editor.Insert({{"sub.txt", "s"}});
        const std::string pack = editor.dir / "test.epk";
        editor.choices.savePaths.push_back(pack);
        QVERIFY(editor.Run(cmd::kFileSaveAs));
        QVERIFY(editor.App().OpenDocumentFile(pack));
        Editor::Settle();
        // A packed file is decoded from the pack; a new one whose disk file
        // is gone reports it.
        editor.Insert({{"missing.txt", "not there for long"}});
        const std::string missingPath = EntryNamed(editor, "missing.txt").sourcePath;
        std::filesystem::remove(missingPath);
        editor.SelectRows({"packed.txt", "missing.txt"});
        QVERIFY(editor.Run(cmd::kSchemeRle));
        editor.prompt.progressTexts.clear();
        editor.prompt.progressSteps = 0;
        QVERIFY(editor.Run(cmd::kTestEncode));
        QCOMPARE(editor.prompt.progressRange, 2u);
        QCOMPARE(editor.prompt.progressSteps, 2u);
        QCOMPARE(editor.prompt.progressTexts.size(), size_t(2));
        QVERIFY(editor.prompt.progressTexts[0].starts_with("正在进行编码测试，请稍后...\n正在测试 "));
        QVERIFY(editor.prompt.Saw("读取文件missing.txt失败！\n"));
        const FileEntry& packed = EntryNamed(editor, "packed.txt");
        QVERIFY(packed.encodedSize < packed.fileSize);
        QCOMPARE(EntryNamed(editor, "missing.txt").encodedSize, kUnknownSize);
    }

    void aSelectionOfFoldersOnlyTestsNothing()
    {
        Editor editor;
        editor.List().NewFolder();
        editor.FinishEdit(editor.List().CurrentView(), QStringLiteral("dir"));
        editor.SelectRows({"dir"});
        QVERIFY(editor.Run(cmd::kTestEncode));
        QCOMPARE(editor.prompt.progressRange, 1u);
        QCOMPARE(editor.prompt.progressSteps, 0u);
        QVERIFY(editor.prompt.messages.empty());
    }

    void theChooserListsAcceptedModulesAndShowsTheSelectedOne()
    {
        TempDir dir;
        const std::string folder = InstallModules(dir, {"t-full.edl", "t-nodecode.edl", "t-infoonly.edl",
                                                        "t-neither.edl", "t-aboutonly.edl", "t-notype.edl"});
        RecordingPrompt prompt;
        CPluginChooserDlg chooser{PluginHost(folder), prompt};
        QListWidget& list = chooser.ModuleList();
        QStringList names;
        for (int i = 0; i < list.count(); ++i) names << list.item(i)->text();
        QCOMPARE(names, (QStringList{"t-aboutonly.edl", "t-full.edl", "t-infoonly.edl", "t-nodecode.edl"}));
        // The first is selected and loaded at once.
        QCOMPARE(list.currentRow(), 0);
        QVERIFY(chooser.ModuleLoaded());
        QCOMPARE(chooser.ModuleFile(), std::string("t-aboutonly.edl"));
        QCOMPARE(Text(chooser, 1008), QStringLiteral("Test aboutonly"));
        QCOMPARE(Text(chooser, 1009), QStringLiteral("1.2.3.4"));

        struct Expect {
            const char* file;
            bool about;
            bool settings;
            const char* decode;
        };
        for (const Expect& e :
             {Expect{"t-infoonly.edl", true, false, "点击开始测试"}, Expect{"t-full.edl", true, true, "点击开始测试"},
              Expect{"t-nodecode.edl", true, false, "未发现解码模块"},
              Expect{"t-aboutonly.edl", true, false, "点击开始测试"}}) {
            list.setCurrentItem(list.findItems(QString::fromLatin1(e.file), Qt::MatchExactly).value(0));
            QCOMPARE(chooser.ModuleFile(), std::string(e.file));
            QCOMPARE(Button(chooser, 1005).isEnabled(), e.about);
            QCOMPARE(Button(chooser, 1004).isEnabled(), e.settings);
            QCOMPARE(Text(chooser, 1011), QString::fromUtf8(e.decode));
            QCOMPARE(Text(chooser, 1010), QStringLiteral("点击开始测试"));
            QCOMPARE(chooser.ProviderVersion(), 0x01020304u);
        }
        QVERIFY(prompt.messages.empty());
    }

    void aModuleGoneSinceTheListWasMadeCannotBeChosen()
    {
        TempDir dir;
        const std::string folder = InstallModules(dir, {"t-full.edl", "t-infoonly.edl"});
        RecordingPrompt prompt;
        CPluginChooserDlg chooser{PluginHost(folder), prompt};
        std::filesystem::remove(folder + "/t-infoonly.edl");
        chooser.ModuleList().setCurrentRow(1);
        QVERIFY(!chooser.ModuleLoaded());
        QCOMPARE(Text(chooser, 1008), QString::fromStdString(VerdictText(ModuleVerdict::NotLoadable)));
        QVERIFY(!Button(chooser, 1).isEnabled());
        QVERIFY(!Button(chooser, 1005).isEnabled());
        QVERIFY(chooser.ModuleFile().empty());
        // Back to the module that is there: it can be chosen again.
        chooser.ModuleList().setCurrentRow(0);
        QVERIFY(chooser.ModuleLoaded());
        QVERIFY(Button(chooser, 1).isEnabled());
        QCOMPARE(chooser.ModuleFile(), std::string("t-full.edl"));
    }

    void theChooserShowsTheInformationOfAModuleWithoutAbout()
    {
        TempDir dir;
        RecordingPrompt prompt;
        CPluginChooserDlg chooser{PluginHost(InstallModules(dir, {"t-infoonly.edl"})), prompt};
        BoxAnswerer box;
        Button(chooser, 1005).click();
        QVERIFY(box.answered);
        QCOMPARE(box.text, QStringLiteral("Test module infoonly"));
        QCOMPARE(box.title, QStringLiteral("Test infoonly"));
        QCOMPARE(box.buttons.size(), 1);
    }

    void theChooserMeasuresSpeedOnAClick()
    {
        TempDir dir;
        RecordingPrompt prompt;
        CPluginChooserDlg chooser{PluginHost(InstallModules(dir, {"t-full.edl", "t-decodefails.edl"})), prompt};
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        QLabel* encode = chooser.findChild<QLabel*>(QStringLiteral("ctl1010"));
        QLabel* decode = chooser.findChild<QLabel*>(QStringLiteral("ctl1011"));
        chooser.ModuleList().setCurrentRow(1);  // t-full
        QTest::mouseClick(encode, Qt::LeftButton);
        QTest::mouseClick(decode, Qt::LeftButton);
        QVERIFY2(encode->text().endsWith(QStringLiteral(" MB/s")), qPrintable(encode->text()));
        QVERIFY2(decode->text().endsWith(QStringLiteral(" MB/s")), qPrintable(decode->text()));
        QVERIFY(encode->text().toDouble() > 0 || encode->text().section(' ', 0, 0).toDouble() > 0);
        // A module whose Decode fails says so instead of a speed.
        chooser.ModuleList().setCurrentRow(0);  // t-decodefails
        QTest::mouseClick(decode, Qt::LeftButton);
        QCOMPARE(decode->text(), QStringLiteral("解码失败"));
    }

    void theSpeedTestBufferIsFixed()
    {
        const std::vector<uint8_t> a = SpeedTestBuffer();
        QCOMPARE(a.size(), size_t(2) << 20);
        QVERIFY(a == SpeedTestBuffer());
        QCOMPARE(SpeedText({true, 12.345, {}}), std::string("12.3 MB/s"));
        QCOMPARE(SpeedText({false, 0, "解码失败"}), std::string("解码失败"));
    }

    void withoutModulesTheChooserSaysSoAndNothingChanges()
    {
        Editor editor;
        editor.Insert({{"a.txt", "abc"}});
        TempDir empty;
        editor.Doc().UsePlugins(PluginHost(empty.MakeDir("plugins")));
        editor.SelectRows({"a.txt"});
        QVERIFY(editor.Run(cmd::kSchemeOther));
        QCOMPARE(editor.prompt.Texts(), std::vector<std::string>{kNoPlugins});
        QCOMPARE(int(EntryNamed(editor, "a.txt").scheme), int(kSchemeNone));
        QVERIFY(editor.Doc().GetCatalogue().Plugins().empty());
        // A missing folder is the same.
        editor.Doc().UsePlugins(PluginHost(empty / "nowhere"));
        QVERIFY(editor.Run(cmd::kSchemeOther));
        QCOMPARE(editor.prompt.messages.size(), size_t(2));
    }

    // Every scheme, built in and plug-in, tested, saved, reopened and
    // extracted: the bytes come back.
    void everySchemeSurvivesSaveReopenAndExtract()
    {
        TempDir work;
        const std::string pack = work / "schemes.epk";
        std::vector<std::pair<std::string, std::string>> files;
        for (const char* name : {"none.txt", "rle.txt", "lz.txt", "plugin.txt", "chosen.txt"}) {
            std::string bytes;
            // Runs for RLE, repeats for the others.
            for (int i = 0; i < 300; ++i)
                bytes += std::string(static_cast<size_t>(i % 40 + 3), char('a' + i % 26)) + name;
            files.emplace_back(name, bytes);
        }
        {
            Editor editor;
            editor.Doc().UsePlugins(PluginHost(InstallModules(work, ShippedModules(), SHIPPED_MODULE_DIR)));
            editor.Insert(files);
            const std::pair<const char*, int> commands[] = {
                {"none.txt", cmd::kSchemeNone}, {"rle.txt", cmd::kSchemeRle}, {"lz.txt", cmd::kSchemeLz}};
            for (const auto& [name, id] : commands) {
                editor.SelectRows({name});
                QVERIFY(editor.Run(id));
            }
            // The chooser, answered with its second module.
            editor.SelectRows({"chosen.txt", "plugin.txt"});
            WhenChooserOpens([](CPluginChooserDlg& chooser) {
                chooser.ModuleList().setCurrentRow(1);
                Button(chooser, 1).click();
            });
            QVERIFY(editor.Run(cmd::kSchemeOther));
            QCOMPARE(editor.Doc().GetCatalogue().Plugins().size(), size_t(1));
            QCOMPARE(editor.Doc().GetCatalogue().Plugins()[0].moduleFile, std::string("zstd-fast.edl"));
            QCOMPARE(int(EntryNamed(editor, "plugin.txt").scheme), 0x80);
            // The plug-in's command gives the same code.
            editor.SelectRows({"plugin.txt"});
            QVERIFY(editor.Run(cmd::kPluginSchemeFirst));
            editor.List().SelectAll();
            QVERIFY(editor.Run(cmd::kTestEncode));
            QVERIFY(editor.prompt.messages.empty());
            for (const FileEntry& e : editor.Doc().GetCatalogue().Entries())
                QVERIFY2(e.encodedSize != kUnknownSize && e.encodedSize <= e.fileSize, e.name.c_str());
            editor.choices.savePaths.push_back(pack);
            QVERIFY(editor.Run(cmd::kFileSaveAs));
            QVERIFY(editor.prompt.messages.empty());
        }
        // The program's own plugins folder holds the shipped modules.
        Editor reopened(pack);
        QVERIFY(reopened.Started());
        QCOMPARE(Cell(reopened, "plugin.txt", FileListModel::kScheme), QStringLiteral("Zstandard 快速"));
        const std::string out = work.MakeDir("out");
        reopened.List().SelectAll();
        reopened.choices.targetFolders.push_back(out);
        reopened.List().setFocus();
        QVERIFY(reopened.Run(cmd::kExtract));
        QVERIFY(reopened.prompt.messages.empty());
        for (const auto& [name, bytes] : files) QCOMPARE(ReadAll(out + "/" + name), bytes);
    }
};

std::unique_ptr<QObject> MakeSchemeCommandsTest()
{
    return std::make_unique<SchemeCommandsTest>();
}

}  // namespace tarvex::test

#include "SchemeCommandsTest.moc"
