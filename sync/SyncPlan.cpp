#include "sync/SyncPlan.h"

#include <algorithm>
#include <exception>
#include <unordered_map>
#include <unordered_set>

#include "base/AppFolder.h"
#include "base/GbkText.h"
#include "catalogue/CatalogueEdits.h"
#include "catalogue/PackPaths.h"
#include "platform/FileIo.h"
#include "sync/DiskComparison.h"
#include "talk/DeferredPrompt.h"
#include "talk/ThrownError.h"
#include "threads/ThreadPool.h"

namespace tarvex {
namespace {

constexpr size_t kNoTwin = SIZE_MAX;

// One change found by the walk. A file of the same size in both is a change
// only if the comparison of its twin says so.
struct Step {
    SyncChange change;
    size_t twin = kNoTwin;
    size_t entry = 0;        // the pack entry a change or removal is of
    std::string source;      // a change: the file on disk
    uint32_t length = 0;     // and its length
};

Step Noted(SyncAction action, std::string path, size_t entry = 0)
{
    Step step;
    step.change = {action, std::move(path)};
    step.entry = entry;
    return step;
}

using FilesByFolder = std::unordered_map<uint32_t, std::vector<size_t>>;

FilesByFolder GroupByFolder(const Catalogue& catalogue)
{
    FilesByFolder groups;
    const auto& entries = catalogue.Entries();
    for (size_t i = 0; i < entries.size(); ++i) groups[entries[i].folderId].push_back(i);
    return groups;
}

class Syncing {
public:
    Syncing(CPackArchive& archive, const Catalogue& disk, const SyncOptions& options, IPrompt& prompt)
        : archive_(archive), pack_(archive.GetCatalogue()), disk_(disk), options_(options), prompt_(prompt),
          packFiles_(GroupByFolder(pack_)), diskFiles_(GroupByFolder(disk))
    {
        const std::string& path = options.packOnDisk;
        packName_ = Utf8ToGbkLossy(NameOfPath(path));
    }

    SyncOutcome Run(const PackSaver& save);

private:
    void Walk(const Folder& diskFolder, Folder& packFolder);
    bool Prune(Folder& folder);
    void Match(size_t entry, const FileEntry& file);
    void Add(Folder& folder, const FileEntry& file, std::unordered_set<std::string>& names);
    void Remove(size_t entry) { steps_.push_back(Noted(SyncAction::Remove, ShownPath(pack_, entry), entry)); }
    bool Excluded(const std::string& prefix, const std::string& gbkName) const
    {
        return options_.exclusions && options_.exclusions->Excludes(prefix + GbkToUtf8Lossy(gbkName));
    }
    bool IsThePack(const FileEntry& file) const;
    std::vector<DiskTwin> TwinsAt(const std::vector<size_t>& chosen) const;
    void Compare(const std::vector<size_t>& chosen, std::vector<Sameness>& answers, bool untilDifferent = false);
    void DropSame(const std::vector<Sameness>& answers);
    void Apply(const std::vector<Sameness>& answers);
    void SaveComparing(const PackSaver& save, DiskComparison& comparison, const std::vector<size_t>& alongside,
                       const std::vector<uint64_t>& identities, std::vector<Sameness>& answers,
                       SyncOutcome& outcome);
    const std::vector<size_t>& FilesOf(const FilesByFolder& groups, uint32_t folderId) const
    {
        static const std::vector<size_t> none;
        const auto it = groups.find(folderId);
        return it == groups.end() ? none : it->second;
    }

    CPackArchive& archive_;
    Catalogue& pack_;
    const Catalogue& disk_;
    const SyncOptions& options_;
    IPrompt& prompt_;
    const FilesByFolder packFiles_;
    const FilesByFolder diskFiles_;
    std::string packName_;  // the pack file's own name, GBK
    std::vector<Step> steps_;
    std::vector<DiskTwin> twins_;
    std::vector<Folder*> emptied_;  // folders to remove, each after those below it
    size_t unchanged_ = 0;
    bool failed_ = false;
};

// The pack itself when it lies inside the tree is not a file of it.
bool Syncing::IsThePack(const FileEntry& file) const
{
    if (options_.packOnDisk.empty() || file.name != packName_) return false;
    return IsSameFile(file.sourcePath, options_.packOnDisk);
}

void Syncing::Match(size_t entry, const FileEntry& file)
{
    const FileEntry& held = pack_.Entries()[entry];
    Step step = Noted(SyncAction::Change, ShownPath(pack_, entry), entry);
    step.source = file.sourcePath;
    step.length = file.fileSize;
    if (held.fileSize == file.fileSize) {
        if (file.fileSize == 0) {
            ++unchanged_;
            return;
        }
        step.twin = twins_.size();
        DiskTwin twin{entry, held.name, file.sourcePath, file.fileSize, std::nullopt};
        const StoredCopy stored = pack_.Records()[entry].Location();
        if (held.IsCarriedOver() && stored.scheme == 0 && stored.storedSize == stored.fileSize) twin.asIs = stored;
        twins_.push_back(std::move(twin));
    }
    steps_.push_back(std::move(step));
}

void Syncing::Add(Folder& folder, const FileEntry& file, std::unordered_set<std::string>& names)
{
    if (AddFileEntryOfLength(pack_, folder.id, file.sourcePath, file.fileSize, prompt_, &names) != EditResult::Done) {
        failed_ = true;
        return;
    }
    FileEntry& added = pack_.Entries().back();
    if (added.fileSize > 0) added.scheme = options_.scheme.value_or(0);
    steps_.push_back(Noted(SyncAction::Add, ShownPath(pack_, pack_.Entries().size() - 1)));
}

void Syncing::Walk(const Folder& diskFolder, Folder& packFolder)
{
    const std::string prefix = PatternPrefix(packFolder);
    std::unordered_map<std::string, size_t> held;
    std::unordered_set<std::string> names;
    for (size_t i : FilesOf(packFiles_, packFolder.id)) {
        held.emplace(pack_.Entries()[i].name, i);
        names.insert(pack_.Entries()[i].name);
    }
    std::unordered_set<std::string> onDisk;
    for (size_t k : FilesOf(diskFiles_, diskFolder.id)) {
        const FileEntry& file = disk_.Entries()[k];
        if (IsThePack(file)) continue;
        onDisk.insert(file.name);
        const auto it = held.find(file.name);
        if (it == held.end()) {
            Add(packFolder, file, names);
        } else {
            Match(it->second, file);
        }
    }
    if (options_.deleteAbsent) {
        for (size_t i : FilesOf(packFiles_, packFolder.id)) {
            const std::string& name = pack_.Entries()[i].name;
            if (!onDisk.count(name) && !Excluded(prefix, name)) Remove(i);
        }
    }

    std::vector<Folder*> before;
    for (const auto& child : packFolder.children) before.push_back(child.get());
    std::unordered_set<const Folder*> matched;
    for (const auto& diskChild : diskFolder.children) {
        const auto same = std::find_if(before.begin(), before.end(),
                                       [&](const Folder* f) { return f->name == diskChild->name; });
        Folder* packChild = same == before.end() ? nullptr : *same;
        if (!packChild) {
            packChild = pack_.InsertFolder(diskChild->name, -1, packFolder);
            if (!packChild) {
                failed_ = true;
                return;
            }
            steps_.push_back(Noted(SyncAction::AddFolder, ShownPath(*packChild)));
        }
        matched.insert(packChild);
        Walk(*diskChild, *packChild);
    }
    if (options_.deleteAbsent) {
        for (Folder* child : before)
            if (!matched.count(child) && !Excluded(prefix, child->name)) Prune(*child);
    }
}

// Removes what a folder that the tree no longer has holds, but for excluded
// items; the folder goes too when nothing is left in it. Whether it goes.
bool Syncing::Prune(Folder& folder)
{
    const std::string prefix = PatternPrefix(folder);
    bool kept = false;
    for (size_t i : FilesOf(packFiles_, folder.id)) {
        if (Excluded(prefix, pack_.Entries()[i].name)) {
            kept = true;
        } else {
            Remove(i);
        }
    }
    for (const auto& child : folder.children)
        if (Excluded(prefix, child->name) || !Prune(*child)) kept = true;
    if (kept) return false;
    steps_.push_back(Noted(SyncAction::RemoveFolder, ShownPath(folder)));
    emptied_.push_back(&folder);
    return true;
}

// Changed files first (removals move entries), then removed files from the
// last one down, then emptied folders, each after those below it. Files
// whose comparison is still to come stay as they are.
void Syncing::Apply(const std::vector<Sameness>& answers)
{
    std::vector<size_t> removed;
    for (const Step& step : steps_) {
        const bool changed = step.twin == kNoTwin || answers[step.twin] == Sameness::Differs;
        if (step.change.action == SyncAction::Change && changed) {
            ReplaceEntrySource(pack_, step.entry, step.source, step.length);
            if (options_.scheme && step.length > 0) pack_.Entries()[step.entry].scheme = *options_.scheme;
        }
        if (step.change.action == SyncAction::Remove) removed.push_back(step.entry);
    }
    std::sort(removed.rbegin(), removed.rend());
    for (size_t i : removed) pack_.RemoveEntry(i);
    for (Folder* folder : emptied_) RemoveFolderTree(pack_, *folder);
}

std::vector<DiskTwin> Syncing::TwinsAt(const std::vector<size_t>& chosen) const
{
    std::vector<DiskTwin> twins;
    for (size_t t : chosen) twins.push_back(twins_[t]);
    return twins;
}

void Syncing::Compare(const std::vector<size_t>& chosen, std::vector<Sameness>& answers, bool untilDifferent)
{
    if (chosen.empty()) return;
    DiskComparison comparison(archive_, TwinsAt(chosen));
    const std::vector<Sameness> found = comparison.Run(untilDifferent);
    ShowMessages(comparison.Messages(), prompt_);
    for (size_t k = 0; k < chosen.size(); ++k) answers[chosen[k]] = found[k];
}

// Drops the steps of twins found the same.
void Syncing::DropSame(const std::vector<Sameness>& answers)
{
    std::erase_if(steps_, [&](const Step& step) {
        const bool same = step.twin != kNoTwin && answers[step.twin] == Sameness::Same;
        unchanged_ += same ? 1 : 0;
        return same;
    });
}

SyncOutcome Syncing::Run(const PackSaver& save)
{
    Walk(disk_.Root(), pack_.Root());
    SyncOutcome outcome;
    if (failed_) {
        outcome.failed = true;
        return outcome;
    }
    // Files stored as they are that would be stored unencoded again if they
    // had changed are, once the pack is to be written anyway, compared while
    // it is written: they go over from the old pack as they are, and should
    // one turn out to differ, the new pack is abandoned before it replaces
    // the old one and written again with the disk's bytes. A big unchanged
    // file then costs next to nothing beside the copy of the pack.
    const bool newPack = options_.packOnDisk.empty();
    const bool unencodedWhenChanged = !options_.scheme || *options_.scheme == 0;
    std::vector<size_t> now;
    std::vector<size_t> alongside;
    for (size_t t = 0; t < twins_.size(); ++t)
        (save && unencodedWhenChanged && twins_[t].asIs ? alongside : now).push_back(t);
    std::vector<Sameness> answers(twins_.size(), Sameness::Unsettled);
    Compare(now, answers);
    const bool known = newPack || std::any_of(steps_.begin(), steps_.end(), [&](const Step& step) {
                           return step.twin == kNoTwin || answers[step.twin] == Sameness::Differs;
                       });
    if (!known) {
        // Smallest first, until one differs: what is left is then compared
        // while the pack is written.
        std::sort(alongside.begin(), alongside.end(),
                  [&](size_t a, size_t b) { return twins_[a].fileSize < twins_[b].fileSize; });
        Compare(alongside, answers, true);
        std::erase_if(alongside, [&](size_t t) { return answers[t] != Sameness::Unsettled; });
    }
    if (std::any_of(answers.begin(), answers.end(), [](Sameness a) { return a == Sameness::Unreadable; })) {
        outcome.failed = true;
        return outcome;
    }
    DropSame(answers);
    const bool anyChange = std::any_of(steps_.begin(), steps_.end(), [&](const Step& step) {
        return step.twin == kNoTwin || answers[step.twin] == Sameness::Differs;
    });
    if (anyChange || newPack) {
        if (alongside.empty()) {
            Apply(answers);
            if (save) outcome.saved = save({});
            outcome.saveFailed = save && !outcome.saved;
        } else {
            std::vector<uint64_t> identities;  // of the files compared alongside, which a removal may move
            for (size_t t : alongside) identities.push_back(pack_.Entries()[twins_[t].entry].identity);
            // One core is left to the save, whose copy must not wait for the comparison.
            DiskComparison comparison(archive_, TwinsAt(alongside), 1);
            Apply(answers);
            SaveComparing(save, comparison, alongside, identities, answers, outcome);
        }
    }
    DropSame(answers);
    outcome.unchanged = unchanged_;
    for (Step& step : steps_) outcome.changes.push_back(std::move(step.change));
    return outcome;
}

// Saves while the files of `alongside` are compared in a job of the thread
// pool; the new pack replaces the old one only if they are all the same, else
// the pack is written again with their bytes from disk.
void Syncing::SaveComparing(const PackSaver& save, DiskComparison& comparison, const std::vector<size_t>& alongside,
                            const std::vector<uint64_t>& identities, std::vector<Sameness>& answers,
                            SyncOutcome& outcome)
{
    std::vector<Sameness> found;
    std::exception_ptr thrown;
    ThreadPool::Ticket comparing = ThreadPool::Shared().Submit([&] { found = comparison.Run(); });
    bool allSame = true;
    bool abandoned = false;
    const auto settle = [&] {
        try {
            comparing.Wait();
        } catch (...) {
            thrown = std::current_exception();
        }
        comparing = {};
        ShowMessages(comparison.Messages(), prompt_);
        if (thrown) {
            // Nothing was settled: the files are taken from the disk.
            prompt_.Tell(ThrownErrorText(thrown), MsgIcon::Error);
            found.assign(alongside.size(), Sameness::Unreadable);
        }
        for (size_t k = 0; k < alongside.size(); ++k) {
            answers[alongside[k]] = found[k] == Sameness::Same ? Sameness::Same : Sameness::Differs;
            allSame = allSame && found[k] == Sameness::Same;
        }
        return allSame;
    };
    const auto beforeCommit = [&] {
        abandoned = !settle();
        return !abandoned;
    };
    outcome.saved = save(beforeCommit);
    if (comparing.Valid()) settle();
    if (abandoned) {
        for (size_t k = 0; k < alongside.size(); ++k) {
            if (answers[alongside[k]] != Sameness::Differs) continue;
            const DiskTwin& twin = twins_[alongside[k]];
            const std::optional<size_t> entry = pack_.EntryIndexOf(identities[k]);
            if (entry) ReplaceEntrySource(pack_, *entry, twin.path, twin.fileSize);
        }
        outcome.saved = save({});
    }
    outcome.saveFailed = !outcome.saved;
}

}  // namespace

SyncOutcome SyncCatalogue(CPackArchive& archive, const Catalogue& disk, const SyncOptions& options, IPrompt& prompt,
                          const PackSaver& save)
{
    return Syncing(archive, disk, options, prompt).Run(save);
}

}  // namespace tarvex
