#include "shell/CTarvexApp.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include "editor/CLeftView.h"
#include "editor/CTarvexDoc.h"
#include "ui/CAboutDlg.h"
#include "shell/CMainFrame.h"
#include "ui/CommandIds.h"
#include "ui/DialogLook.h"
#include "ui/RecentFiles.h"

namespace tarvex {

CTarvexApp::CTarvexApp(IPrompt* prompt, IUserChoices* choices)
    : prompt_(prompt ? *prompt : qtPrompt_), choices_(choices ? *choices : qtChoices_)
{
}

CTarvexApp::~CTarvexApp()
{
    router_.SetApplication(nullptr);
    router_.SetDocument(nullptr);
    frame_.reset();
    doc_.reset();
}

bool CTarvexApp::InitInstance(const QStringList& args)
{
    settings_ = std::make_unique<QSettings>(QStringLiteral("@Z--V Studio"), QStringLiteral("Tarvex"));
    InstallDialogFont();
    recent_ = std::make_unique<RecentFiles>(*settings_);

    doc_ = std::make_unique<CTarvexDoc>(prompt_, choices_);
    frame_ = std::make_unique<CMainFrame>(*doc_, router_);
    qtPrompt_.SetOwner(frame_.get());
    qtChoices_.SetOwner(frame_.get());
    router_.SetDocument(doc_.get());
    router_.SetApplication(this);
    connect(doc_.get(), &CTarvexDoc::pathUsed, this, [this](const QString& path) {
        recent_->Add(path);
        frame_->SetRecentFiles(recent_->Paths());
    });
    frame_->SetRecentFiles(recent_->Paths());

    if (args.isEmpty()) {
        doc_->OnNewDocument();
    } else {
        doc_->OnNewDocument();
        const QString path = QDir(args.front()).absolutePath();
        if (!doc_->OnOpenDocument(QFile::encodeName(path).toStdString())) return false;
    }
    frame_->show();
    frame_->LeftView().setFocus();
    return true;
}

bool CTarvexApp::OpenDocumentFile(const std::string& path)
{
    if (!doc_->GetPathName().empty() && doc_->GetPathName() == path) return true;
    if (!doc_->SaveModified()) return false;
    return doc_->OnOpenDocument(path);
}

void CTarvexApp::FileNew()
{
    if (doc_->SaveModified()) doc_->OnNewDocument();
}

void CTarvexApp::FileOpen()
{
    if (const std::optional<std::string> path = choices_.ChoosePackToOpen()) OpenDocumentFile(*path);
}

void CTarvexApp::OpenRecent(int index)
{
    const QStringList& paths = recent_->Paths();
    if (index >= paths.size()) return;
    const std::string path = QFile::encodeName(paths[index]).toStdString();
    if (doc_->GetPathName() == path) return;
    if (!doc_->SaveModified()) return;
    // A pack that cannot be opened any more leaves the list.
    if (!doc_->OnOpenDocument(path)) {
        recent_->Remove(index);
        frame_->SetRecentFiles(recent_->Paths());
    }
}

bool CTarvexApp::CanHandle(int id) const
{
    return id == cmd::kFileNew || id == cmd::kFileOpen || id == cmd::kAppExit || id == cmd::kAppAbout ||
           (id >= cmd::kFileMruFirst && id <= cmd::kFileMruLast);
}

CommandState CTarvexApp::Update(int id)
{
    if (id >= cmd::kFileMruFirst && id <= cmd::kFileMruLast)
        return {id - cmd::kFileMruFirst < recent_->Paths().size(), false};
    return {true, false};
}

void CTarvexApp::Execute(int id)
{
    switch (id) {
        case cmd::kFileNew:
            FileNew();
            break;
        case cmd::kFileOpen:
            FileOpen();
            break;
        case cmd::kAppExit:
            frame_->close();
            break;
        case cmd::kAppAbout: {
            CAboutDlg about(frame_.get());
            about.exec();
            break;
        }
        default:
            if (id >= cmd::kFileMruFirst && id <= cmd::kFileMruLast) OpenRecent(id - cmd::kFileMruFirst);
            break;
    }
}

}  // namespace tarvex
