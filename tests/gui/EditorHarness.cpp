#include "tests/gui/EditorHarness.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QAbstractButton>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "base/GbkText.h"
#include "editor/CLeftView.h"
#include "editor/CTarvexDoc.h"
#include "editor/CTarvexView.h"
#include "editor/FileListModel.h"
#include "shell/CMainFrame.h"

namespace tarvex::test {

namespace {

QtMessageHandler testHandler = nullptr;

void DropSizeHintNotice(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.contains(QLatin1String("This plugin does not support propagateSizeHints()"))) return;
    if (message.contains(QLatin1String("This plugin does not support raise()"))) return;
    if (testHandler) testHandler(type, context, message);
}

}  // namespace

void QuietOffscreenNotices()
{
    QtMessageHandler previous = qInstallMessageHandler(DropSizeHintNotice);
    if (previous != DropSizeHintNotice) testHandler = previous;
}

std::string Utf8(const std::string& gbk)
{
    return GbkToUtf8Lossy(gbk);
}

std::string Gbk(const std::string& utf8)
{
    return Utf8ToGbk(utf8).value();
}

BoxAnswerer::BoxAnswerer(QString button) : button_(std::move(button))
{
    QTimer::singleShot(0, [this] { Poll(); });
}

void BoxAnswerer::Poll()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) {
        QTimer::singleShot(10, [this] { Poll(); });
        return;
    }
    text = box->text();
    title = box->windowTitle();
    icon = box->icon();
    face = box->palette().color(QPalette::Window);
    answered = true;
    QAbstractButton* press = box->defaultButton();
    for (QAbstractButton* b : box->buttons()) {
        buttons << b->text();
        if (!button_.isEmpty() && b->text() == button_) press = b;
    }
    if (button_ == QStringLiteral("Escape")) {
        QTest::keyClick(box, Qt::Key_Escape);
    } else {
        press->click();
    }
}

Editor::Editor(const std::string& packPath, bool realDialogs)
    : app_(std::make_unique<CTarvexApp>(realDialogs ? nullptr : &prompt, &choices))
{
    QStringList args;
    if (!packPath.empty()) args << QString::fromStdString(packPath);
    started_ = app_->InitInstance(args);
    if (started_) {
        Frame().activateWindow();
        Settle();
    }
}

Editor::~Editor()
{
    if (started_) Doc().SetModifiedFlag(false);
}

CTarvexDoc& Editor::Doc()
{
    return app_->Document();
}

CMainFrame& Editor::Frame()
{
    return app_->MainFrame();
}

CLeftView& Editor::Tree()
{
    return Frame().LeftView();
}

CTarvexView& Editor::List()
{
    return *Frame().RightPane();
}

bool Editor::Run(int id)
{
    const bool ran = app_->Router().Execute(id);
    Settle();
    return ran;
}

void Editor::Insert(const std::vector<std::pair<std::string, std::string>>& files)
{
    std::vector<std::string> paths;
    ++inserts_;
    for (const auto& [name, bytes] : files)
        paths.push_back(dir.Write("in" + std::to_string(inserts_) + "/" + name, bytes));
    choices.filesToInsert.push_back(paths);
    Tree().InsertFilesFromDialog();
    Settle();
}

Folder& Editor::FolderNamed(const std::string& utf8Path)
{
    Folder* folder = &Doc().GetCatalogue().Root();
    for (const std::string& part : SplitGbkPath(Gbk(utf8Path))) {
        Folder* next = nullptr;
        for (const auto& child : folder->children)
            if (child->name == part) next = child.get();
        if (!next) throw std::runtime_error("no folder " + utf8Path);
        folder = next;
    }
    return *folder;
}

void Editor::Select(const std::string& utf8Path)
{
    Tree().SelectFolder(FolderNamed(utf8Path));
    Settle();
}

void Editor::SelectRows(const std::vector<std::string>& utf8Names)
{
    bool add = false;
    for (const std::string& name : utf8Names) {
        List().SelectRow(ListRowNamed(name), add);
        add = true;
    }
    List().setFocus();
    Settle();
}

std::vector<std::string> Editor::ListNames()
{
    std::vector<std::string> names;
    FileListModel& model = List().Model();
    for (int row = 0; row < model.RowCount(); ++row) names.push_back(model.ShownName(row).toStdString());
    return names;
}

int Editor::ListRowNamed(const std::string& utf8Name)
{
    const std::vector<std::string> names = ListNames();
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == utf8Name) return static_cast<int>(i);
    return -1;
}

QLineEdit* Editor::LabelEditor(QWidget& view)
{
    for (int i = 0; i < 50; ++i) {
        for (QLineEdit* edit : view.findChildren<QLineEdit*>(QStringLiteral("labelEditor")))
            if (edit->isVisible()) return edit;
        Settle();
        QTest::qWait(5);
    }
    return nullptr;
}

void Editor::FinishEdit(QWidget& view, const QString& text, bool cancel)
{
    QLineEdit* edit = LabelEditor(view);
    if (!edit) throw std::runtime_error("no label editor");
    if (cancel) {
        QTest::keyClick(edit, Qt::Key_Escape);
    } else {
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    Settle();
}

void Editor::Settle()
{
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

}  // namespace tarvex::test
