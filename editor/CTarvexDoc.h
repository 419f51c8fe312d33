#pragma once
// The document: one pack being edited. It owns the catalogue and the pack
// object that reads and writes the .epk file; it opens, saves and extracts,
// and asks about unsaved changes.
#include <QObject>
#include <QString>
#include <string>

#include "catalogue/Catalogue.h"
#include "editor/ClipboardTransfer.h"
#include "editor/ExternalEdits.h"
#include "pack/PackArchive.h"
#include "schemes/PluginHost.h"
#include "ui/CommandRouter.h"
#include "ui/UserChoices.h"

namespace tarvex {

class CLeftView;
class CTarvexView;

class CTarvexDoc final : public QObject, public CommandHandler {
    Q_OBJECT
public:
    CTarvexDoc(IPrompt& prompt, IUserChoices& choices);
    ~CTarvexDoc() override;

    Catalogue& GetCatalogue() { return catalogue_; }
    CPackArchive& Pack() { return archive_; }
    IPrompt& Prompt() { return prompt_; }
    IUserChoices& Choices() { return choices_; }
    // Where encoder modules are found: the plugins folder beside the
    // program. Tests hand in another folder.
    const PluginHost& Plugins() const { return plugins_; }
    void UsePlugins(PluginHost plugins) { plugins_ = std::move(plugins); }
    ClipboardTransfer& Clipboard() { return clipboard_; }
    // Files of the pack open in their own programs.
    ExternalEdits& External() { return external_; }

    // Each view registers itself when it is made.
    void SetTreeView(CLeftView* view) { tree_ = view; }
    void SetListView(CTarvexView* view) { list_ = view; }
    CLeftView* TreeView() const { return tree_; }
    CTarvexView* ListView() const { return list_; }

    // A new, empty pack: a lone root "无标题".
    bool OnNewDocument();
    // Reads the pack at path. On failure the document stays as it was.
    bool OnOpenDocument(const std::string& path);
    // Asks for the password and writes the pack at path; the old file
    // survives any failure. Should the pack have been changed, replaced or
    // moved by another program since it was read, the user is asked to save
    // elsewhere instead; replaceConfirmed: the user chose path knowing what
    // is there (Save As), and it is replaced like any file.
    bool OnSaveDocument(const std::string& path, bool replaceConfirmed = false);
    // Save: an untitled pack first gets a name.
    bool DoFileSave();
    bool DoFileSaveAs();
    // The question about unsaved changes; false when the user cancelled.
    bool SaveModified();
    // Extracts the selected files and folders of the list into a folder the
    // user chooses.
    void ExtractSelection();
    // Encodes the selected files of the list in memory with their schemes,
    // shows the sizes and advises against schemes that do not make a file
    // smaller.
    void TestEncodeSelection();

    void SetModifiedFlag(bool modified = true);
    bool IsModified() const { return modified_; }
    // A save, an extraction or an encode test is under way.
    bool Busy() const { return busy_ > 0; }
    // The pack file on disk; empty while untitled.
    const std::string& GetPathName() const { return path_; }
    QString GetTitle() const;

    bool CanHandle(int id) const override;
    CommandState Update(int id) override;
    void Execute(int id) override;

signals:
    void titleChanged();
    void modifiedChanged(bool modified);
    // A pack was opened or saved at this path (for the recent-file list).
    void pathUsed(const QString& path);

private:
    void SetPathName(const std::string& path);
    // After new, open or save: the views show the catalogue afresh.
    void CatalogueReplaced(bool selectRoot);

    IPrompt& prompt_;
    IUserChoices& choices_;
    Catalogue catalogue_;
    CPackArchive archive_{catalogue_};
    PluginHost plugins_;
    ClipboardTransfer clipboard_{catalogue_};
    ExternalEdits external_{*this};
    CLeftView* tree_ = nullptr;
    CTarvexView* list_ = nullptr;
    bool modified_ = false;
    int busy_ = 0;
    std::string path_;
};

}  // namespace tarvex
