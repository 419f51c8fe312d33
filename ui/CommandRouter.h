#pragma once
// Routes a command as the desktop framework did: to the active view, then to
// its document, then to the main frame, then to the application. The first
// handler on the route that takes the command decides whether it is enabled
// (and checked) and runs it; a command nobody on the route takes is disabled.
#include <QObject>

namespace tarvex {

struct CommandState {
    bool enabled = false;
    bool checked = false;
};

class CommandHandler {
public:
    virtual ~CommandHandler() = default;
    virtual bool CanHandle(int id) const = 0;
    // Called before a menu opens, on focus, selection and clipboard changes,
    // and before the command runs.
    virtual CommandState Update(int /*id*/) { return {true, false}; }
    virtual void Execute(int id) = 0;
};

class CommandRouter final : public QObject {
    Q_OBJECT
public:
    void SetActiveView(CommandHandler* view) { activeView_ = view; }
    void SetDocument(CommandHandler* document) { document_ = document; }
    void SetFrame(CommandHandler* frame) { frame_ = frame; }
    void SetApplication(CommandHandler* app) { app_ = app; }
    CommandHandler* ActiveView() const { return activeView_; }

    // The handler that takes the command, or nullptr.
    CommandHandler* HandlerOf(int id) const;
    CommandState State(int id) const;
    // Runs the command when it is enabled; false when it was not run.
    bool Execute(int id);

    // Asks everyone who shows command states to refresh them.
    void NotifyStatesChanged() { emit statesChanged(); }

signals:
    void statesChanged();

private:
    CommandHandler* activeView_ = nullptr;
    CommandHandler* document_ = nullptr;
    CommandHandler* frame_ = nullptr;
    CommandHandler* app_ = nullptr;
};

}  // namespace tarvex
