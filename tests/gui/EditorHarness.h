#pragma once
// The editor as the GUI tests drive it: the real application, main window,
// document and views, with the messages recorded and answered by the test
// and the file and folder dialogs answered from a script.
#include <QColor>
#include <QLineEdit>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QObject>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <string>
#include <vector>

#include "ui/UserChoices.h"
#include "shell/CTarvexApp.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/TempDir.h"

class QAbstractItemView;

namespace tarvex {

class CLeftView;
class CMainFrame;
class CTarvexDoc;
class CTarvexView;
struct Folder;

namespace test {

class ScriptedChoices final : public IUserChoices {
public:
    std::deque<std::vector<std::string>> filesToInsert;
    std::deque<std::optional<std::string>> packsToOpen;
    std::deque<std::optional<std::string>> savePaths;
    std::deque<std::optional<std::string>> targetFolders;
    int folderQuestions = 0;

    std::vector<std::string> ChooseFilesToInsert() override { return Take(filesToInsert, {}); }
    std::optional<std::string> ChoosePackToOpen() override { return Take(packsToOpen, std::nullopt); }
    std::optional<std::string> ChooseSavePath(const std::string&) override { return Take(savePaths, std::nullopt); }
    std::optional<std::string> ChooseTargetFolder() override
    {
        ++folderQuestions;
        return Take(targetFolders, std::nullopt);
    }

private:
    template <typename T>
    static T Take(std::deque<T>& queue, std::type_identity_t<T> fallback)
    {
        if (queue.empty()) return fallback;
        T value = std::move(queue.front());
        queue.pop_front();
        return value;
    }
};

// Answers the next modal message box: records its text and presses the
// button with this text (or the default button; "Escape" presses Escape).
class BoxAnswerer {
public:
    explicit BoxAnswerer(QString button = {});
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QColor face;
    QStringList buttons;
    bool answered = false;

private:
    void Poll();
    QString button_;
};

class Editor {
public:
    // Starts the editor on a new pack (or the pack at path). With real
    // dialogs the messages are the program's own boxes, not recorded.
    explicit Editor(const std::string& packPath = {}, bool realDialogs = false);
    ~Editor();

    RecordingPrompt prompt;
    ScriptedChoices choices;
    TempDir dir;

    CTarvexApp& App() { return *app_; }
    CTarvexDoc& Doc();
    CMainFrame& Frame();
    CLeftView& Tree();
    CTarvexView& List();
    bool Started() const { return started_; }

    // Runs a command through the router as a menu item would.
    bool Run(int id);
    // Adds disk files (written under dir) to the current folder through the
    // insert command.
    void Insert(const std::vector<std::pair<std::string, std::string>>& files);
    Folder& FolderNamed(const std::string& utf8Path);
    void Select(const std::string& utf8Path);
    // Selects these rows of the list (by name, UTF-8) and gives it the focus.
    void SelectRows(const std::vector<std::string>& utf8Names);
    // The names the list shows, top to bottom.
    std::vector<std::string> ListNames();
    int ListRowNamed(const std::string& utf8Name);
    // The open label editor of a view, once it is there.
    QLineEdit* LabelEditor(QWidget& view);
    // Types text into the open label editor and presses Enter (or Escape
    // when text is empty and cancel is set), then lets the rules run.
    void FinishEdit(QWidget& view, const QString& text, bool cancel = false);
    // Lets queued calls run.
    static void Settle();

private:
    std::unique_ptr<CTarvexApp> app_;
    bool started_ = false;
    int inserts_ = 0;
};

// The UTF-8 form of a catalogue name.
std::string Utf8(const std::string& gbk);
std::string Gbk(const std::string& utf8);

// Drops the notices the offscreen platform gives for every shown or raised
// window (and nothing else); each test class calls it in initTestCase, after QTest has
// installed its own handler.
void QuietOffscreenNotices();

// The test classes, one per file.
std::unique_ptr<QObject> MakeCommandTableTest();
std::unique_ptr<QObject> MakeControlsTest();
std::unique_ptr<QObject> MakeTreeListRulesTest();
std::unique_ptr<QObject> MakeUserPathTest();
std::unique_ptr<QObject> MakeSchemeCommandsTest();
std::unique_ptr<QObject> MakeTransferTest();
std::unique_ptr<QObject> MakeAboutBoxTest();
std::unique_ptr<QObject> MakeLookFindTest();

}  // namespace test
}  // namespace tarvex
