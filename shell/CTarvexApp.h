#pragma once
// The application: start-up in its order (settings key, dialog look, recent
// files, document and main window, the command line), and the commands that
// belong to no document: new, open, the recent files, exit.
#include <QObject>
#include <QSettings>
#include <memory>

#include "ui/CommandRouter.h"
#include "ui/QtPrompt.h"
#include "ui/QtUserChoices.h"

namespace tarvex {

class CMainFrame;
class CTarvexDoc;
class RecentFiles;

class CTarvexApp final : public QObject, public CommandHandler {
    Q_OBJECT
public:
    // The prompt and the dialogs default to the real ones; tests hand in
    // scripted ones.
    explicit CTarvexApp(IPrompt* prompt = nullptr, IUserChoices* choices = nullptr);
    ~CTarvexApp() override;

    // args: the program's arguments after Qt took its own; a pack path
    // opens that pack. False ends the program (the messages were shown).
    bool InitInstance(const QStringList& args);

    CTarvexDoc& Document() const { return *doc_; }
    CMainFrame& MainFrame() const { return *frame_; }
    CommandRouter& Router() { return router_; }
    QtPrompt& QtPrompts() { return qtPrompt_; }
    RecentFiles& Recent() const { return *recent_; }

    // Opens a pack as the Open command does after its dialog: the question
    // about unsaved changes first. The same pack is not read again.
    bool OpenDocumentFile(const std::string& path);

    bool CanHandle(int id) const override;
    CommandState Update(int id) override;
    void Execute(int id) override;

private:
    void FileNew();
    void FileOpen();
    void OpenRecent(int index);

    QtPrompt qtPrompt_;
    QtUserChoices qtChoices_;
    IPrompt& prompt_;
    IUserChoices& choices_;
    CommandRouter router_;
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<RecentFiles> recent_;
    std::unique_ptr<CTarvexDoc> doc_;
    std::unique_ptr<CMainFrame> frame_;
};

}  // namespace tarvex
