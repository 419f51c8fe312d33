#include "editor/CTarvexDoc.h"

#include <chrono>

#include "base/GbkText.h"
#include "editor/CLeftView.h"
#include "editor/CTarvexView.h"
#include "editor/ExtractionPlan.h"
#include "schemes/EncodeTest.h"
#include "schemes/Extraction.h"
#include "schemes/SchemeDispatch.h"
#include "schemes/TreeExtraction.h"
#include "talk/Messages.h"
#include "ui/CommandIds.h"

namespace tarvex {
namespace {

constexpr const char* kUntitled = "无标题";
constexpr const char* kAskToSave = "是否保存对 %s 的更改？";
constexpr const char* kExtracting = "解压缩文件，请稍后...\n正在解压缩：%s  --->  %s";
constexpr const char* kPackChangedOnDisk =
    "文件包%s打开以后已被另一个程序修改、替换或移走。\n在原处存盘会覆盖那个程序所做的修改，因此没有存盘。\n\n"
    "是否把您的修改另存为一个文件包？";
// Long enough for a script's quick edit of the pack to end; the window
// waits meanwhile.
constexpr std::chrono::seconds kSaveLockWait{5};

// Marks the document busy for as long as it lives.
class BusyWhile {
public:
    explicit BusyWhile(int& busy) : busy_(busy) { ++busy_; }
    ~BusyWhile() { --busy_; }
    BusyWhile(const BusyWhile&) = delete;
    BusyWhile& operator=(const BusyWhile&) = delete;

private:
    int& busy_;
};

std::string FileNameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

CTarvexDoc::CTarvexDoc(IPrompt& prompt, IUserChoices& choices) : prompt_(prompt), choices_(choices)
{
    catalogue_.Reset(Utf8ToGbkLossy(kUntitled));
}

CTarvexDoc::~CTarvexDoc() = default;

QString CTarvexDoc::GetTitle() const
{
    return path_.empty() ? QString::fromUtf8(kUntitled) : QString::fromStdString(FileNameOf(path_));
}

void CTarvexDoc::SetModifiedFlag(bool modified)
{
    if (modified == modified_) return;
    modified_ = modified;
    emit modifiedChanged(modified);
}

void CTarvexDoc::SetPathName(const std::string& path)
{
    path_ = path;
    emit titleChanged();
    if (!path.empty()) emit pathUsed(QString::fromStdString(path));
}

void CTarvexDoc::CatalogueReplaced(bool selectRoot)
{
    if (tree_) tree_->ResetTree(selectRoot);
    if (!list_) return;
    list_->RefreshList();
    list_->FindAgain();
}

bool CTarvexDoc::OnNewDocument()
{
    external_.Forget();
    catalogue_.Reset(Utf8ToGbkLossy(kUntitled));
    archive_.Forget();
    path_.clear();
    SetModifiedFlag(false);
    emit titleChanged();
    CatalogueReplaced(true);
    return true;
}

bool CTarvexDoc::OnOpenDocument(const std::string& path)
{
    // The reader touches the catalogue only once the whole pack has been read
    // and checked, so a pack it refuses leaves the open document as it was.
    if (!archive_.Load(path, prompt_)) return false;
    external_.Forget();
    SetModifiedFlag(false);
    SetPathName(path);
    CatalogueReplaced(true);
    return true;
}

bool CTarvexDoc::OnSaveDocument(const std::string& path, bool replaceConfirmed)
{
    const BusyWhile busy(busy_);
    // Another program's change to the pack is never overwritten unasked:
    // the user's work goes elsewhere instead, if the user wants.
    const SavePlace place = archive_.LookAtTarget(path, replaceConfirmed);
    if (place == SavePlace::PackReplaced || place == SavePlace::PackRewritten) {
        const std::string question = Printf(kPackChangedOnDisk, path.c_str());
        return prompt_.Message(question, MsgIcon::Warning, MsgButtons::YesNo) == MsgAnswer::Yes && DoFileSaveAs();
    }
    // The password of the new file; "不加密" saves it without one.
    const PasswordBlocks blocks = prompt_.AskPassword(PasswordMode::Set).value_or(PasswordBlocks{});
    SchemeDispatch dispatch(catalogue_, prompt_, plugins_);
    StoreOptions options;
    options.lockWait.limit = kSaveLockWait;
    options.replaceConfirmed = replaceConfirmed;
    if (!archive_.Store(path, MakeKeySchedule(blocks), dispatch, prompt_, options)) {
        // Nothing of the catalogue changed; the views still show it.
        return false;
    }
    SetModifiedFlag(false);
    SetPathName(path);
    CatalogueReplaced(false);
    return true;
}

bool CTarvexDoc::DoFileSave()
{
    if (path_.empty()) return DoFileSaveAs();
    return OnSaveDocument(path_);
}

bool CTarvexDoc::DoFileSaveAs()
{
    const std::optional<std::string> path = choices_.ChooseSavePath(path_);
    return path && OnSaveDocument(*path, true);
}

void CTarvexDoc::TestEncodeSelection()
{
    if (!list_) return;
    const BusyWhile busy(busy_);
    const std::vector<ListRow> selected = list_->SelectedItems();
    prompt_.ProgressBegin(static_cast<uint32_t>(selected.size()));
    EncodeTester tester(catalogue_, archive_, prompt_, plugins_);
    bool schemeDropped = false;
    for (const ListRow& row : selected) {
        if (row.isFolder || row.ref >= catalogue_.Entries().size()) continue;
        prompt_.ProgressText(EncodeTestText(catalogue_, row.ref));
        schemeDropped = tester.TestEncodeEntry(row.ref) == EncodeTestOutcome::Advised || schemeDropped;
        prompt_.ProgressStep();
    }
    prompt_.ProgressEnd();
    // A scheme given up on advice is a change to be saved.
    if (schemeDropped) SetModifiedFlag();
    list_->RefreshList();
}

bool CTarvexDoc::SaveModified()
{
    if (!modified_) return true;
    const std::string name = path_.empty() ? std::string(kUntitled) : path_;
    switch (prompt_.Message(Printf(kAskToSave, name.c_str()), MsgIcon::Question, MsgButtons::YesNoCancel)) {
        case MsgAnswer::Yes:
            return DoFileSave();
        case MsgAnswer::No:
            return true;
        default:
            return false;
    }
}

void CTarvexDoc::ExtractSelection()
{
    if (!list_) return;
    const BusyWhile busy(busy_);
    const std::vector<ListRow> selected = list_->SelectedItems();
    if (selected.empty()) return;
    const std::optional<std::string> target = choices_.ChooseTargetFolder();
    if (!target) return;

    PackExtractor extractor(archive_, prompt_, plugins_);
    const bool hasPack = !archive_.Path().empty();
    const ExtractionPlan plan =
        PlanExtraction(catalogue_, selected, [&](size_t entry) { return hasPack && extractor.HasStoredBytes(entry); });
    if (!plan.notInPack.empty()) {
        std::string names;
        for (const std::string& name : plan.notInPack) names += GbkToUtf8Lossy(name) + "\n";
        prompt_.Tell(Printf(msg::kNotInPackYet, names.c_str()), MsgIcon::Warning);
    }
    // Folders alone are still made; a selection of new files only has nothing to write.
    if (!hasPack || (plan.files > 0 && plan.notInPack.size() == plan.files)) return;
    if (!extractor.Open()) return;
    // Held from here on: nothing goes elsewhere should its path change.
    const std::shared_ptr<const DiskFolder> dest = OpenDestination(*target, prompt_);
    if (!dest) return;

    prompt_.ProgressBegin(static_cast<uint32_t>(plan.files));
    const auto showFile = [&](size_t index, const std::string& folder) {
        // Texts the window would not paint are not made.
        if (!prompt_.ShowsProgressText()) return;
        const std::string name = GbkToUtf8Lossy(catalogue_.Entries()[index].name);
        prompt_.ProgressText(Printf(kExtracting, name.c_str(), (folder + "/" + name).c_str()));
    };
    for (const ListRow& row : selected) {
        if (row.isFolder) {
            // Each file of the tree is shown as it goes; the bar counts it.
            const Folder* folder = catalogue_.FolderByHandle(row.ref);
            if (!folder) continue;
            ExtractFolderTree(extractor, catalogue_, *folder, dest, prompt_,
                              [&](size_t index, const std::string& at) {
                                  showFile(index, at);
                                  prompt_.ProgressStep();
                              });
        } else {
            showFile(row.ref, *target);
            if (extractor.HasStoredBytes(row.ref)) ExtractEntryInto(extractor, catalogue_, row.ref, *dest, prompt_);
            prompt_.ProgressStep();
        }
    }
    prompt_.ProgressEnd();
}

bool CTarvexDoc::CanHandle(int id) const
{
    return id == cmd::kFileSave || id == cmd::kFileSaveAs || id == cmd::kExtract || id == cmd::kTestEncode;
}

CommandState CTarvexDoc::Update(int id)
{
    if (id == cmd::kExtract) return {list_ && !list_->SelectedItems().empty(), false};
    if (id == cmd::kTestEncode) return {list_ && !list_->SelectedRows().empty(), false};
    return {true, false};
}

void CTarvexDoc::Execute(int id)
{
    switch (id) {
        case cmd::kFileSave:
            DoFileSave();
            break;
        case cmd::kFileSaveAs:
            DoFileSaveAs();
            break;
        case cmd::kExtract:
            ExtractSelection();
            break;
        case cmd::kTestEncode:
            TestEncodeSelection();
            break;
        default:
            break;
    }
}

}  // namespace tarvex
