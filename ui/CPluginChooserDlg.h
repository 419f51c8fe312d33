#pragma once
// The plug-in chooser: the encoder modules of the plugins folder, the
// selected one's name and version, its own about box and settings, and its
// encode and decode speed measured on request. The selected module stays
// loaded while it is selected; OK hands its file name, provider name and
// version to the caller.
#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "schemes/PluginHost.h"
#include "talk/Prompt.h"

class QLabel;
class QListWidget;

namespace tarvex {

class CSkinButton;

class CPluginChooserDlg final : public QDialog {
    Q_OBJECT
public:
    CPluginChooserDlg(PluginHost plugins, IPrompt& prompt, QWidget* parent = nullptr);
    ~CPluginChooserDlg() override;

    // Runs the dialog; without any module to offer it tells so instead and
    // gives Rejected.
    int DoModal();

    // The chosen module (names GBK, as a plug-in table records them).
    const std::string& ModuleFile() const { return moduleFile_; }
    const std::string& ProviderName() const { return providerName_; }
    uint32_t ProviderVersion() const { return version_; }
    bool ModuleLoaded() const { return module_.has_value(); }

    QListWidget& ModuleList() const { return *list_; }
    // The two speed fields: clicking one measures.
    void MeasureEncodeSpeed();
    void MeasureDecodeSpeed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The exports the dialog calls, of the loaded module.
    struct Exports {
        edl_getProviderName_fn getProviderName = nullptr;
        edl_getProviderVersion_fn getProviderVersion = nullptr;
        edl_getProviderInfo_fn getProviderInfo = nullptr;
        edl_getMemNeeded_fn getMemNeeded = nullptr;
        edl_Encode_fn encode = nullptr;
        edl_Decode_fn decode = nullptr;
        edl_About_fn about = nullptr;
        edl_Settings_fn settings = nullptr;
    };

    void SelectionChanged();
    void ShowAbout();
    void ShowSettings();
    void ShowUnloadable(const std::string& why);

    PluginHost plugins_;
    IPrompt& prompt_;
    std::vector<ModuleInfo> modules_;  // the accepted ones, as listed
    std::string moduleFile_;
    std::string providerName_;
    uint32_t version_ = 0;
    std::optional<LoadedModule> module_;
    Exports exports_;

    QListWidget* list_;
    QLabel* name_;
    QLabel* versionLabel_;
    QLabel* encodeSpeed_;
    QLabel* decodeSpeed_;
    CSkinButton* settings_;
    CSkinButton* about_;
    CSkinButton* ok_;
    CSkinButton* cancel_;
};

}  // namespace tarvex
