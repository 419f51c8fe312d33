// Renders the editor's main window, each of its menus and context menus and
// each dialog into PNG files, so that they can be looked at without running
// the program by hand:  tarvex-screenshots OUTPUT_FOLDER [PACK]
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QTranslator>
#include <QTreeView>
#include <cstdio>
#include <map>

#include "base/AppFolder.h"
#include "editor/CLeftView.h"
#include "editor/CTarvexDoc.h"
#include "editor/CTarvexView.h"
#include "editor/FolderTreeModel.h"
#include "schemes/PluginHost.h"
#include "shell/CMainFrame.h"
#include "shell/CTarvexApp.h"
#include "ui/CAboutDlg.h"
#include "ui/CCreditsCtrl.h"
#include "ui/CFolderPicker.h"
#include "ui/CPasswordDlg.h"
#include "ui/CPluginChooserDlg.h"
#include "ui/CProgressDlg.h"
#include "ui/CSkinProgressCtrl.h"
#include "ui/CommandIds.h"
#include "ui/MenuBuilder.h"
#include "ui/MessageBox.h"

namespace {

using namespace tarvex;

void Settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
    }
}

class Shooter {
public:
    explicit Shooter(QDir out) : out_(std::move(out)) {}

    // The screen's picture of the area the widgets cover, so that a menu
    // shows over the window it opened from.
    void Shot(const QString& name, std::initializer_list<QWidget*> widgets)
    {
        Settle();
        QRect area;
        for (QWidget* w : widgets) area = area.united(w->frameGeometry());
        const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
        QPixmap picture = screen.copy(area.intersected(screen.rect()));
        // A platform that cannot grab the screen: the widget's own rendering.
        if (picture.isNull()) picture = (*widgets.begin())->grab();
        const QString path = out_.filePath(name + QStringLiteral(".png"));
        if (!picture.save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            failed_ = true;
        } else {
            std::printf("%s\n", qPrintable(path));
        }
    }
    bool Failed() const { return failed_; }

private:
    QDir out_;
    bool failed_ = false;
};

void ShowMenuAt(QMenu& menu, QPoint at)
{
    menu.popup(at);
    Settle();
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    const QStringList args = QApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: tarvex-screenshots OUTPUT_FOLDER [PACK]\n");
        return 2;
    }
    QDir().mkpath(args[1]);
    Shooter shooter{QDir(args[1])};
    const QString pack = args.size() > 2
                             ? args[2]
                             : QFile::decodeName(QByteArray::fromStdString(GetAppFolder())) + "../share/sample.epk";

    CTarvexApp tarvex;
    if (!tarvex.InitInstance({pack})) return 1;
    CMainFrame& frame = tarvex.MainFrame();
    frame.move(40, 30);
    frame.resize(900, 560);
    frame.activateWindow();
    CLeftView& tree = frame.LeftView();
    tree.expandAll();
    // Show the folder that holds the most files.
    const Catalogue& catalogue = tarvex.Document().GetCatalogue();
    std::map<uint32_t, int> files;
    for (const FileEntry& entry : catalogue.Entries()) ++files[entry.folderId];
    const Folder* fullest = &catalogue.Root();
    for (const auto& child : catalogue.Root().children)
        if (files[child->id] > files[fullest->id]) fullest = child.get();
    tree.SelectFolder(*fullest);
    frame.RightPane()->SelectRow(0);
    shooter.Shot(QStringLiteral("01-main-window"), {&frame});

    // Each menu of the menu bar, opened under its title.
    const QList<QAction*> tops = frame.menuBar()->actions();
    for (int i = 0; i < tops.size(); ++i) {
        QMenu* menu = tops[i]->menu();
        const QRect title = frame.menuBar()->actionGeometry(tops[i]);
        emit menu->aboutToShow();
        ShowMenuAt(*menu, frame.menuBar()->mapToGlobal(title.bottomLeft()));
        shooter.Shot(QStringLiteral("02-menu-%1").arg(i + 1), {&frame, menu});
        menu->hide();
    }

    // The context menus: on a folder of the tree, on a row, on empty space.
    {
        const QModelIndex rootIndex = tree.Model().RootIndex();
        const QRect item = tree.visualRect(rootIndex);
        const auto lvpop = BuildContextMenu(ContextPopup::TreeItem, tarvex.Router(), &tree);
        ShowMenuAt(*lvpop, tree.viewport()->mapToGlobal(item.center()));
        shooter.Shot(QStringLiteral("03-context-tree"), {&frame, lvpop.get()});
        lvpop->hide();

        CTarvexView& list = *frame.RightPane();
        tarvex.Router().SetActiveView(&list);
        list.SelectRow(list.Model().RowCount() - 1);
        const QRect row = list.CurrentView().visualRect(list.Model().index(list.Model().RowCount() - 1, 0));
        const auto rvpop = list.MakeContextMenu(row.center());
        const QPoint at = list.CurrentView().viewport()->mapToGlobal(row.center());
        ShowMenuAt(*rvpop, at);
        QMenu* schemes = FindSubmenu(*rvpop, QStringLiteral("选择编码\t(&S)"));
        if (schemes) {
            rvpop->setActiveAction(schemes->menuAction());
            ShowMenuAt(*schemes, at + QPoint(rvpop->width() - 4, 0));
            shooter.Shot(QStringLiteral("04-context-list-item"), {&frame, rvpop.get(), schemes});
            schemes->hide();
        }
        rvpop->hide();

        const QPoint empty(list.width() / 2, list.height() - 20);
        const auto rvpopx = list.MakeContextMenu(empty);
        ShowMenuAt(*rvpopx, list.CurrentView().viewport()->mapToGlobal(empty));
        shooter.Shot(QStringLiteral("05-context-list-space"), {&frame, rvpopx.get()});
        rvpopx->hide();
    }

    // The row's menu again, with two encoder modules in the plug-in table.
    {
        CTarvexView& list = *frame.RightPane();
        Catalogue& table = tarvex.Document().GetCatalogue();
        int added = 0;
        for (const ModuleInfo& module : PluginHost().Survey()) {
            if (module.verdict != ModuleVerdict::Accepted || added == 2) continue;
            table.AddPlugin(module.moduleFile, module.providerName, module.version);
            ++added;
        }
        for (; added < 2; ++added) table.AddPlugin("example.edl", "Example " + std::to_string(added), 1);
        tarvex.Router().SetActiveView(&list);
        const QRect row = list.CurrentView().visualRect(list.Model().index(list.Model().RowCount() - 1, 0));
        const auto rvpop = list.MakeContextMenu(row.center());
        const QPoint at = list.CurrentView().viewport()->mapToGlobal(row.center());
        ShowMenuAt(*rvpop, at);
        if (QMenu* schemes = FindSubmenu(*rvpop, QStringLiteral("选择编码\t(&S)"))) {
            rvpop->setActiveAction(schemes->menuAction());
            ShowMenuAt(*schemes, at + QPoint(rvpop->width() - 4, 0));
            shooter.Shot(QStringLiteral("menu-rvpop-plugins"), {&frame, rvpop.get(), schemes});
            schemes->hide();
        }
        rvpop->hide();
    }

    // The view styles.
    const int styles[] = {cmd::kViewLargeIcon, cmd::kViewSmallIcon, cmd::kViewList};
    const char* const names[] = {"06-view-large-icons", "07-view-small-icons", "08-view-list"};
    for (int i = 0; i < 3; ++i) {
        tarvex.Router().Execute(styles[i]);
        shooter.Shot(QString::fromLatin1(names[i]), {&frame});
    }
    tarvex.Router().Execute(cmd::kViewDetails);

    // The dialogs.
    for (PasswordMode mode : {PasswordMode::Set, PasswordMode::Enter}) {
        CPasswordDlg dialog(mode, &frame);
        dialog.show();
        shooter.Shot(
            mode == PasswordMode::Set ? QStringLiteral("10-password-set") : QStringLiteral("11-password-enter"),
            {&dialog});
    }
    {
        CProgressDlg progress(&frame);
        progress.Bar().SetRange(0, 10);
        for (int i = 0; i < 6; ++i) progress.Bar().StepIt();
        progress.SetText(QStringLiteral("解压缩文件，请稍后...\n正在解压缩：logo.bmp  --->  /home/user/out/logo.bmp"));
        progress.ShowNow();
        shooter.Shot(QStringLiteral("12-progress"), {&progress});
    }
    {
        QFileDialog picker(&frame, CFolderPicker().Title());
        picker.setFileMode(QFileDialog::Directory);
        picker.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
        picker.show();
        shooter.Shot(QStringLiteral("13-folder-picker"), {&picker});
    }
    {
        QTimer::singleShot(300, [&] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                shooter.Shot(QStringLiteral("14-message-box"), {box});
                box->close();
            }
        });
        ShowMessage(&frame, QStringLiteral("该名字已被使用，请重新命名！"), MsgIcon::None, MsgButtons::Ok);
        QTimer::singleShot(300, [&] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                shooter.Shot(QStringLiteral("15-question"), {box});
                box->close();
            }
        });
        ShowMessage(&frame, QStringLiteral("注意：删除这个目录将删除此目录下的所有信息！\n确定要删除吗？"),
                    MsgIcon::None, MsgButtons::YesNoCancel);
    }
    {
        CPluginChooserDlg chooser(PluginHost(), tarvex.QtPrompts(), &frame);
        chooser.show();
        chooser.MeasureEncodeSpeed();
        shooter.Shot(QStringLiteral("plugin-chooser"), {&chooser});
    }
    {
        CAboutDlg about(&frame);
        about.show();
        // The credits rise by then; the stars have moved.
        for (int i = 0; i < 60; ++i) about.Credits().RenderFrame();
        shooter.Shot(QStringLiteral("about"), {&about});
    }
    tarvex.Document().SetModifiedFlag(false);
    frame.close();
    return shooter.Failed() ? 1 : 0;
}
