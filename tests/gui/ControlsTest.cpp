// The drawn controls and dialogs: progress arithmetic and cells, the skinned
// button's pictures, the flat edit's line, the password dialog in both modes,
// message boxes, nine-slice scaling, the document's temporary folder and the
// recent-file list.
#include <QApplication>
#include <QComboBox>
#include <QFileSystemModel>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QListView>
#include <QUrl>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "base/GbkText.h"
#include "editor/CTarvexDoc.h"
#include "format/PasswordKeys.h"
#include "tests/gui/EditorHarness.h"
#include "ui/Artwork.h"
#include "ui/CFlatEdit.h"
#include "ui/CFolderPicker.h"
#include "ui/CPasswordDlg.h"
#include "ui/CProgressDlg.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinProgressCtrl.h"
#include "ui/DialogLook.h"
#include "ui/HasText.h"
#include "ui/MessageBox.h"
#include "ui/NineSlice.h"
#include "ui/QtPrompt.h"
#include "ui/QtUserChoices.h"
#include "ui/RecentFiles.h"

namespace tarvex::test {
namespace {

CFlatEdit* Edit(QDialog& dialog, int id)
{
    return dialog.findChild<CFlatEdit*>(QStringLiteral("ctl%1").arg(id));
}

QWidget* Control(QDialog& dialog, int id)
{
    return dialog.findChild<QWidget*>(QStringLiteral("ctl%1").arg(id));
}

}  // namespace

class ControlsTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QuietOffscreenNotices(); }

    void progressRangeAndSteps()
    {
        CSkinProgressCtrl bar;
        QCOMPARE(bar.Span(), 100);
        QCOMPARE(bar.Step(), 10);
        bar.SetRange(0, 0);
        QCOMPARE(bar.Span(), 1);
        bar.SetRange(5, 5);
        bar.SetPos(7);
        QCOMPARE(bar.Pos(), 5);
        bar.SetRange(10, 0);
        QCOMPARE(bar.Span(), 10);
        bar.SetRange(0, 10);
        bar.SetStep(1);
        bar.SetPos(10);
        bar.StepIt();
        QCOMPARE(bar.Pos(), 1);  // 11 + 0 - 10
        bar.SetPos(-3);
        QCOMPARE(bar.Pos(), 0);
    }

    void progressCellsFollowThePosition()
    {
        CSkinProgressCtrl bar;
        bar.resize(160, 20);
        QVERIFY(bar.SetSkin(art::kProgressSkin, 3, 3, 3, 3, 8, 10));
        QCOMPARE(bar.CellCount(), 20);
        QCOMPARE(bar.CellHeight(), 12);  // 10 / 16 of the height, truncated
        QCOMPARE(bar.CellsShown(), 0);
        bar.SetRange(0, 3);
        std::vector<int> shown;
        for (int pos = 0; pos <= 3; ++pos) {
            bar.SetPos(pos);
            shown.push_back(bar.CellsShown());
        }
        QCOMPARE(shown, (std::vector<int>{0, 6, 13, 20}));
        QVERIFY(!bar.SetSkin(999, 3, 3, 3, 3, 8, 10));
    }

    // The window is painted at most once an interval, however many items the
    // work steps through, and then shows the latest text and every step.
    void progressWindowThroughThePrompt()
    {
        QWidget owner;
        owner.show();
        QtPrompt prompt;
        prompt.SetOwner(&owner);
        int64_t now = 0;
        prompt.UseClock([&now] { return now; });
        const uint32_t items = 20000;
        prompt.ProgressBegin(items);
        // Work that ends before the window is due shows none, only the busy
        // cursor; a painting interval is not enough for the first showing.
        prompt.ProgressStep();
        now += QtPrompt::kPaintEveryMs;
        QVERIFY(!prompt.Progress());
        QVERIFY(!prompt.ShowsProgressText());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        now += QtPrompt::kShowAfterMs - QtPrompt::kPaintEveryMs;
        QVERIFY(prompt.ShowsProgressText());
        prompt.ProgressStep();
        CProgressDlg* dialog = prompt.Progress();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->size(), QSize(Dlu(196), Dlu(94)));
        QVERIFY(dialog->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(dialog->Text(), QStringLiteral("正在存盘，请稍后"));
        QCOMPARE(dialog->Bar().Upper(), int(items));
        QCOMPARE(dialog->Bar().Step(), 1);
        QCOMPARE(dialog->Bar().Pos(), 2);

        struct PaintCounter final : QObject {
            int paints = 0;
            bool eventFilter(QObject*, QEvent* event) override
            {
                paints += event->type() == QEvent::Paint;
                return false;
            }
        } counter;
        dialog->installEventFilter(&counter);
        for (uint32_t i = 2; i < items; ++i) {
            QVERIFY(!prompt.ShowsProgressText());
            prompt.ProgressText(i + 1 == items ? "第一行\n第二行" : "第几行\n第几行");
            prompt.ProgressStep();
            prompt.ProgressBytes(i);
        }
        QCOMPARE(counter.paints, 0);
        QCOMPARE(dialog->Text(), QStringLiteral("正在存盘，请稍后"));
        QCOMPARE(dialog->Bar().Pos(), 2);
        now += QtPrompt::kPaintEveryMs;
        prompt.ProgressBytes(0);
        QVERIFY(counter.paints > 0);
        QCOMPARE(dialog->Text(), QStringLiteral("第一行\n第二行"));
        QCOMPARE(dialog->Bar().Pos(), int(items));
        QCOMPARE(dialog->Bar().CellsShown(), dialog->Bar().CellCount());
        prompt.ProgressEnd();
        QVERIFY(!prompt.Progress());
        QVERIFY(!QApplication::overrideCursor());
    }

    void skinnedButtonPictures()
    {
        QWidget face;
        face.resize(200, 100);
        face.show();
        face.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&face));
        CSkinButton button(QStringLiteral("加密"), &face);
        button.setGeometry(10, 10, 75, 21);
        button.show();
        QVERIFY(button.SetSkin(art::kButtonSkin, 5, 5, 5, 4, false));
        QVERIFY(button.SkinReady());
        // The skin's red corner lets the face show through.
        QCOMPARE(qAlpha(button.PictureAt(CSkinButton::kNormal).toImage().pixel(0, 0)), 0);
        QCOMPARE(qAlpha(button.PictureAt(CSkinButton::kNormal).toImage().pixel(37, 10)), 255);
        QCOMPARE(button.PictureAt(CSkinButton::kDisabled).size(), button.size());

        button.setFocus();
        QCOMPARE(button.CurrentPicture(), CSkinButton::kNormal);  // show focus is off
        QVERIFY(button.SetSkin(art::kButtonSkin, 5, 5, 5, 4, true));
        QCOMPARE(button.CurrentPicture(), CSkinButton::kFocused);

        // Entering with the left button held shows no hover.
        QTest::mousePress(&face, Qt::LeftButton, {}, {150, 80});
        QEnterEvent enter({5, 5}, {5, 5}, button.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(&button, &enter);
        QVERIFY(!button.Hover());
        QTest::mouseRelease(&face, Qt::LeftButton, {}, {150, 80});
        QApplication::sendEvent(&button, &enter);
        QVERIFY(button.Hover());
        QCOMPARE(button.CurrentPicture(), CSkinButton::kHover);
        button.setDown(true);
        QCOMPARE(button.CurrentPicture(), CSkinButton::kPressed);
        button.setDown(false);
        button.setEnabled(false);
        QCOMPARE(button.CurrentPicture(), CSkinButton::kDisabled);
        button.setEnabled(true);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&button, &leave);
        QVERIFY(!button.Hover());

        // Pressed and dragged out, the hover picture goes at once and stays
        // away when the pointer comes back with the button held.
        QApplication::sendEvent(&button, &enter);
        QTest::mousePress(&button, Qt::LeftButton, {}, {5, 5});
        QCOMPARE(button.CurrentPicture(), CSkinButton::kPressed);
        QTest::mouseMove(&button, {150, 60});
        QVERIFY(!button.Hover());
        QCOMPARE(button.CurrentPicture(), CSkinButton::kFocused);
        QTest::mouseMove(&button, {6, 5});
        QVERIFY(!button.Hover());
        QCOMPARE(button.CurrentPicture(), CSkinButton::kPressed);
        QTest::mouseRelease(&button, Qt::LeftButton, {}, {150, 60});
    }

    void flatEditDrawsOneLineAlongTheBottom()
    {
        CFlatEdit edit;
        edit.resize(120, 18);
        const QImage image = edit.grab().toImage();
        QCOMPARE(QColor(image.pixel(60, 17)), CFlatEdit::kBorder);
        for (QPoint white : {QPoint(60, 16), QPoint(60, 13), QPoint(0, 5), QPoint(119, 5), QPoint(60, 0)})
            QCOMPARE(QColor(image.pixel(white)), CFlatEdit::kFill);
    }

    void nineSliceKeepsCornersAndStretchesTheRest()
    {
        QImage skin(6, 6, QImage::Format_ARGB32);
        skin.fill(Qt::blue);
        skin.setPixel(0, 0, qRgb(255, 0, 0));
        skin.setPixel(5, 5, qRgb(0, 255, 0));
        QImage target(20, 10, QImage::Format_ARGB32);
        target.fill(Qt::white);
        QVERIFY(NineSlice(skin, skin.rect(), {1, 1, 1, 1}, target));
        QCOMPARE(target.pixel(0, 0), qRgb(255, 0, 0));
        QCOMPARE(target.pixel(19, 9), qRgb(0, 255, 0));
        QCOMPARE(target.pixel(1, 0), QColor(Qt::blue).rgb());
        QCOMPARE(target.pixel(10, 5), QColor(Qt::blue).rgb());
        QVERIFY(!NineSlice(skin, skin.rect(), {4, 4, 1, 1}, target));
    }

    void passwordDialogInSetMode()
    {
        CPasswordDlg dialog(PasswordMode::Set);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("输入密码，加密文件"));
        QCOMPARE(dialog.size(), QSize(Dlu(187), Dlu(113)));
        QCOMPARE(dialog.palette().color(QPalette::Window), kDialogFace);
        QCOMPARE(dialog.palette().color(QPalette::WindowText), QColor(Qt::black));
        QCOMPARE(qobject_cast<QLabel*>(Control(dialog, 1018))->text(),
                 QStringLiteral(
                     "要加密文件吗？\n\n将你的文件加密可以加强文件的安全性。\n没有密码将无法打开已被加密的文件。"));
        QCOMPARE(qobject_cast<QLabel*>(Control(dialog, 1014))->text(), QStringLiteral("密    码："));
        QCOMPARE(qobject_cast<QLabel*>(Control(dialog, 1015))->text(), QStringLiteral("确认密码："));
        QCOMPARE(qobject_cast<QPushButton*>(Control(dialog, 1))->text(), QStringLiteral("加密"));
        QCOMPARE(qobject_cast<QPushButton*>(Control(dialog, 2))->text(), QStringLiteral("不加密"));
        QVERIFY(qobject_cast<QPushButton*>(Control(dialog, 1))->isDefault());
        QVERIFY(Control(dialog, 1016)->isHidden());
        QVERIFY(Control(dialog, 1017)->isHidden());
        QCOMPARE(Edit(dialog, 1012)->echoMode(), QLineEdit::Password);
        dialog.show();

        // Two different texts: the message, the dialog stays open.
        Edit(dialog, 1012)->setText(QStringLiteral("秘密"));
        Edit(dialog, 1013)->setText(QStringLiteral("秘蜜"));
        {
            BoxAnswerer box;
            qobject_cast<QPushButton*>(Control(dialog, 1))->click();
            QCOMPARE(box.text, QStringLiteral("您两次输入的密码不一致，请重新输入!"));
            QCOMPARE(box.title, QStringLiteral("Tarvex"));
            QCOMPARE(box.icon, QMessageBox::Critical);
        }
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.Blocks().IsZero());
        QCOMPARE(dialog.focusWidget(), static_cast<QWidget*>(Edit(dialog, 1012)));

        Edit(dialog, 1013)->setText(QStringLiteral("秘密"));
        qobject_cast<QPushButton*>(Control(dialog, 1))->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.Blocks(), DerivePasswordBlocks(Gbk("秘密")));
    }

    void passwordDialogWithoutAPassword_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("empty password") << false;
        QTest::newRow("不加密") << true;
    }

    void passwordDialogWithoutAPassword()
    {
        QFETCH(bool, cancel);
        CPasswordDlg dialog(PasswordMode::Set);
        dialog.show();
        qobject_cast<QPushButton*>(Control(dialog, cancel ? 2 : 1))->click();
        QCOMPARE(dialog.result(), int(cancel ? QDialog::Rejected : QDialog::Accepted));
        QVERIFY(dialog.Blocks().IsZero());
    }

    void passwordDialogInEnterMode()
    {
        CPasswordDlg dialog(PasswordMode::Enter);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("请输入打开该文件的密码"));
        for (int hidden : {1012, 1013, 1014, 1015}) QVERIFY(!Control(dialog, hidden)->isVisible());
        for (int shown : {1016, 1017}) QVERIFY(Control(dialog, shown)->isVisible());
        QCOMPARE(qobject_cast<QLabel*>(Control(dialog, 1018))->text(),
                 QStringLiteral("请输入打开该文件的密码：\n\n该文件已被所有者加密。\n没有密码将无法打开该文件。"));
        QCOMPARE(qobject_cast<QPushButton*>(Control(dialog, 1))->text(), QStringLiteral("确认"));
        QCOMPARE(qobject_cast<QPushButton*>(Control(dialog, 2))->text(), QStringLiteral("不加密"));
        Edit(dialog, 1016)->setText(QStringLiteral("open sesame"));
        qobject_cast<QPushButton*>(Control(dialog, 1))->click();
        QCOMPARE(dialog.Blocks(), DerivePasswordBlocks("open sesame"));
    }

    void passwordsGbkCannotHoldAreRefused()
    {
        CPasswordDlg dialog(PasswordMode::Set);
        dialog.show();
        Edit(dialog, 1012)->setText(QStringLiteral("😀"));
        Edit(dialog, 1013)->setText(QStringLiteral("😀"));
        BoxAnswerer box;
        qobject_cast<QPushButton*>(Control(dialog, 1))->click();
        QVERIFY(box.text.contains(QStringLiteral("GBK")));
        QVERIFY(dialog.isVisible());
    }

    void messageBoxesOfThePrompt()
    {
        QtPrompt prompt;
        {
            BoxAnswerer box(QStringLiteral("否(&N)"));
            QCOMPARE(prompt.Message("问题？", MsgIcon::None, MsgButtons::YesNoCancel), MsgAnswer::No);
            QCOMPARE(box.title, QStringLiteral("Tarvex"));
            QCOMPARE(box.icon, QMessageBox::NoIcon);
            QCOMPARE(box.buttons.size(), 3);
            QCOMPARE(box.face, kDialogFace);
        }
        {
            BoxAnswerer box(QStringLiteral("Escape"));
            QCOMPARE(prompt.Message("问题？", MsgIcon::Question, MsgButtons::YesNoCancel), MsgAnswer::Cancel);
            QCOMPARE(box.icon, QMessageBox::Question);
        }
        {
            BoxAnswerer box;
            QCOMPARE(prompt.Message("错误", MsgIcon::Error, MsgButtons::Ok), MsgAnswer::Ok);
            QCOMPARE(box.buttons, QStringList{"确定"});
            QCOMPARE(box.icon, QMessageBox::Critical);
        }
        {
            BoxAnswerer box(QStringLiteral("是(&Y)"));
            QCOMPARE(prompt.Message("是吗？", MsgIcon::Question, MsgButtons::YesNo), MsgAnswer::Yes);
        }
    }

    void hasTextTrimsInPlace_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("has");
        QTest::addColumn<QString>("left");
        QTest::newRow("blanks around x") << "  x " << true << "x";
        QTest::newRow("blanks only") << "   " << false << "";
        QTest::newRow("tabs and line breaks") << "\t a b\r\n" << true << "a b";
        QTest::newRow("empty") << "" << false << "";
    }

    void hasTextTrimsInPlace()
    {
        QFETCH(QString, text);
        QFETCH(bool, has);
        QFETCH(QString, left);
        std::string s = text.toStdString();
        QCOMPARE(HasText(s), has);
        QCOMPARE(QString::fromStdString(s), left);
    }

    // A folder on disk is taken; the computer node ends the browse like
    // Cancel, with no message.
    void theFolderPickerTakesOnlyFoldersOnDisk_data()
    {
        QTest::addColumn<bool>("computer");
        QTest::addRow("a folder") << false;
        QTest::addRow("the computer node") << true;
    }

    void theFolderPickerTakesOnlyFoldersOnDisk()
    {
        QFETCH(bool, computer);
        QTemporaryDir folder;
        QString warning;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            dialog->setDirectory(folder.path());
            if (auto* places = dialog->findChild<QListView*>(QStringLiteral("sidebar")); places && computer) {
                const QModelIndex node = places->model()->index(0, 0);
                if (node.data(Qt::UserRole + 1).toUrl() == QUrl(QStringLiteral("file:")))
                    QTest::mouseClick(places->viewport(), Qt::LeftButton, {}, places->visualRect(node).center());
            }
            // A warning that keeps the picker open is answered, and the
            // picker closed, so that the test goes on.
            QTimer::singleShot(50, dialog, [&warning, dialog] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    warning = box->text();
                    box->accept();
                }
                dialog->reject();
            });
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->click();
        });
        CFolderPicker picker;
        const int result = picker.Browse(nullptr);
        QCOMPARE(warning, QString());
        QCOMPARE(result, computer ? 0 : 1);
        QCOMPARE(picker.ChosenPath(), computer ? QString() : QFileInfo(folder.path()).absoluteFilePath());
    }

    // The insert dialog's type list reads "所有文件(*.*)" and offers files
    // without an extension too.
    void theInsertDialogOffersEveryFile()
    {
        QTemporaryDir folder;
        for (const char* name : {"README", "a.txt"})
            QFile(folder.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
        QString dialogName;
        QString types;
        int offered = 0;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            dialogName = dialog->objectName();
            types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))->currentText();
            dialog->setDirectory(folder.path());
            const auto* files = dialog->findChild<QFileSystemModel*>();
            for (int tries = 0; tries < 200 && offered < 2; ++tries) {
                QTest::qWait(10);
                offered = files->rowCount(files->index(folder.path()));
            }
            dialog->reject();
        });
        QtUserChoices choices;
        QVERIFY(choices.ChooseFilesToInsert().empty());
        QCOMPARE(dialogName, QStringLiteral("insertFilesDialog"));
        QCOMPARE(types, QStringLiteral("所有文件(*.*)"));
        QCOMPARE(offered, 2);
    }

    // The document stages nothing on disk: it leaves nothing in the
    // temporary folder that a killed editor could leave behind.
    void aDocumentKeepsNothingInTheTemporaryFolder()
    {
        QTemporaryDir temp;
        const QByteArray programTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", temp.path().toLocal8Bit());
        {
            RecordingPrompt prompt;
            ScriptedChoices choices;
            CTarvexDoc doc(prompt, choices);
            QVERIFY(doc.OnNewDocument());
            QVERIFY(std::filesystem::is_empty(temp.path().toStdString()));
        }
        qputenv("TMPDIR", programTemp);
        QVERIFY(std::filesystem::is_empty(temp.path().toStdString()));
    }

    void recentFilesKeepTheLastFour()
    {
        QTemporaryDir temp;
        QSettings settings(temp.filePath(QStringLiteral("recent.ini")), QSettings::IniFormat);
        {
            RecentFiles recent(settings);
            for (int i = 1; i <= 5; ++i) recent.Add(QStringLiteral("/p/%1.epk").arg(i));
            recent.Add(QStringLiteral("/p/3.epk"));
            QCOMPARE(recent.Paths(), (QStringList{"/p/3.epk", "/p/5.epk", "/p/4.epk", "/p/2.epk"}));
            recent.Remove(1);
        }
        RecentFiles reread(settings);
        QCOMPARE(reread.Paths(), (QStringList{"/p/3.epk", "/p/4.epk", "/p/2.epk"}));
        QCOMPARE(RecentFileLabel(0, QStringLiteral("/a&b.epk")), QStringLiteral("&1 /a&&b.epk"));
    }
};

std::unique_ptr<QObject> MakeControlsTest()
{
    return std::make_unique<ControlsTest>();
}

}  // namespace tarvex::test

#include "ControlsTest.moc"
