#pragma once
// What the editor's benchmark program shares between its modes: a prompt and
// dialog answers that never wait for anyone, and a full repaint.
#include <QApplication>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "shell/CMainFrame.h"
#include "shell/CTarvexApp.h"
#include "talk/Prompt.h"
#include "ui/UserChoices.h"

namespace tarvex::bench {

// Messages go to stderr and questions are answered No; a pack being opened
// gets no password, a pack being saved is saved without one. Progress shows
// in the real progress window when one is given, else nowhere.
class ConsolePrompt final : public IPrompt {
public:
    IPrompt* progressWindow = nullptr;

    MsgAnswer Message(std::string_view text, MsgIcon, MsgButtons buttons) override
    {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
    }
    std::optional<PasswordBlocks> AskPassword(PasswordMode mode) override
    {
        if (mode == PasswordMode::Set) return PasswordBlocks{};
        return std::nullopt;
    }
    void ProgressBegin(uint32_t range) override
    {
        if (progressWindow) progressWindow->ProgressBegin(range);
    }
    void ProgressText(std::string_view text) override
    {
        if (progressWindow) progressWindow->ProgressText(text);
    }
    void ProgressStep() override
    {
        if (progressWindow) progressWindow->ProgressStep();
    }
    void ProgressBytes(uint64_t bytes) override
    {
        if (progressWindow) progressWindow->ProgressBytes(bytes);
    }
    void ProgressEnd() override
    {
        if (progressWindow) progressWindow->ProgressEnd();
    }
    bool ShowsProgressText() const override { return progressWindow && progressWindow->ShowsProgressText(); }
};

// Every file and folder dialog is cancelled, but for the folder extraction
// writes into when one is given.
class NoChoices final : public IUserChoices {
public:
    std::optional<std::string> targetFolder;

    std::vector<std::string> ChooseFilesToInsert() override { return {}; }
    std::optional<std::string> ChoosePackToOpen() override { return std::nullopt; }
    std::optional<std::string> ChooseSavePath(const std::string&) override { return std::nullopt; }
    std::optional<std::string> ChooseTargetFolder() override { return targetFolder; }
};

// Lets every queued event run and paints the whole window, as a screen would.
inline void Paint(CMainFrame& frame)
{
    QApplication::processEvents();
    frame.grab();
}

// The modes; each prints "name value" lines and returns the exit status.
int OpenAndShowFolder(CTarvexApp& app, const std::string& pack, const std::string& folder);
int SaveAfterEdit(CTarvexApp& app, const std::string& pack, bool syncAfterSave);
int ExtractFolderFiles(CTarvexApp& app, const std::string& pack, const std::string& folder, bool syncAfter);
int PasteFolderFiles(CTarvexApp& app, const std::string& pack, const std::string& folder);

}  // namespace tarvex::bench
