#include "catalogue/DirectoryImport.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <unordered_set>
#include <vector>

#include "base/SystemErrorText.h"
#include "platform/FolderNames.h"
#include "talk/DeferredPrompt.h"
#include "talk/Messages.h"
#include "talk/ThrownError.h"
#include "threads/ThreadPool.h"

namespace tarvex {
namespace {

// Names of one folder looked at together on a thread; a folder with more
// names shares them out in runs of this many.
constexpr size_t kLookRun = 256;

struct DiskItem {
    std::string gbkName;
    std::string path;
    uint64_t length;
};

// What one directory holds, as the import takes it: its files and its
// sub-directories in the order they are imported, and the messages about what
// is left out, for the importing thread to tell in their turn. Listings are
// made by jobs of the thread pool ahead of the import, sub-directories as
// soon as their parent is listed: a listing is freed only once every job
// that fills it or a listing below it has ended.
struct Listing {
    bool readable = false;
    std::vector<DiskItem> files;                  // by stored name
    std::vector<DiskItem> folders;                // by stored name
    std::vector<std::unique_ptr<Listing>> below;  // of each of folders
    // The jobs that fill them, declared after them so that they go first: a
    // job not begun is dropped, one that runs is waited for.
    std::vector<ThreadPool::Ticket> made;
    std::vector<DeferredMessage> messages;
    size_t skipped = 0;
    size_t refused = 0;
};

// Lists directories on the thread pool, ahead of the import.
class Lister {
public:
    explicit Lister(const ImportFilter& leaveOut) : leaveOut_(leaveOut) {}

    // relative: the directory's path below the imported one, with a trailing
    // '/' unless it is that one (kept only when there is a filter).
    void List(const std::string& dir, const std::string& relative, Listing& listing)
    {
        DeferredPrompt prompt;
        std::vector<FolderName> diskNames;
        std::string error;
        if (!ReadFolderNames(dir, diskNames, error)) {
            prompt.Tell(Printf(msg::kCannotReadDir, dir.c_str(), error.c_str()), MsgIcon::Error);
            listing.messages = prompt.Take();
            return;
        }
        listing.readable = true;
        if (leaveOut_)
            std::erase_if(diskNames, [&](const FolderName& item) { return leaveOut_(relative + item.name); });
        LookAll(dir, diskNames);

        for (FolderName& item : diskNames) {
            const NameLook& look = *item.look;
            if (!look.found) continue;
            std::string path = dir + "/" + item.name;
            if (!look.isFile && !look.isDir) {
                prompt.Tell(Printf(msg::kSkippedSpecial, path.c_str()), MsgIcon::Warning);
                ++listing.skipped;
                continue;
            }
            std::optional<std::string> gbk = StorableName(item.name, prompt);
            if (!gbk) {
                ++listing.refused;
                continue;
            }
            (look.isFile ? listing.files : listing.folders).push_back({std::move(*gbk), std::move(path), look.length});
        }
        listing.messages = prompt.Take();

        const auto byName = [](const DiskItem& a, const DiskItem& b) { return a.gbkName < b.gbkName; };
        std::sort(listing.files.begin(), listing.files.end(), byName);
        std::sort(listing.folders.begin(), listing.folders.end(), byName);

        // Room first, so that no job is handed in that is not noted.
        listing.below.reserve(listing.folders.size());
        listing.made.reserve(listing.folders.size());
        for (const DiskItem& sub : listing.folders) {
            Listing& below = *listing.below.emplace_back(std::make_unique<Listing>());
            std::string subRelative = leaveOut_ ? relative + sub.path.substr(dir.size() + 1) + "/" : std::string();
            listing.made.push_back(pool_.Submit([this, path = sub.path, subRelative = std::move(subRelative), &below] {
                List(path, subRelative, below);
            }));
        }
    }

private:
    // One status call per name is most of what an import of many small
    // files costs where the listing does not tell what each name is: a large
    // folder's names are shared out over the pool. Each run holds the folder
    // itself, as threads sharing one hold would contend for it on every call.
    void LookAll(const std::string& dir, std::vector<FolderName>& names)
    {
        std::vector<size_t> unknown;
        for (size_t i = 0; i < names.size(); ++i)
            if (!names[i].look) unknown.push_back(i);
        if (unknown.empty()) return;
        FolderLooker shared;
        const bool held = shared.Open(dir);
        const auto lookAt = [&](size_t first) {
            FolderLooker own;
            const FolderLooker& looker = first == 0 || !own.Open(dir) ? shared : own;
            for (size_t i = first; i < std::min(unknown.size(), first + kLookRun); ++i)
                names[unknown[i]].look = held ? looker.Look(names[unknown[i]].name) : NameLook{};
        };
        std::vector<ThreadPool::Ticket> runs;
        std::exception_ptr thrown;
        try {
            runs.reserve(unknown.size() / kLookRun);
            for (size_t first = kLookRun; first < unknown.size(); first += kLookRun)
                runs.push_back(pool_.Submit([&, first] { lookAt(first); }));
            lookAt(0);
        } catch (...) {
            thrown = std::current_exception();
        }
        // Every run handed in writes into names: all are waited for,
        // whatever happened. The last runs are the least likely to have been
        // begun by the pool.
        for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
            try {
                run->Wait();
            } catch (...) {
                if (!thrown) thrown = std::current_exception();
            }
        }
        if (thrown) std::rethrow_exception(thrown);
    }

    const ImportFilter& leaveOut_;
    ThreadPool& pool_ = ThreadPool::Shared();
};

// fresh: the folder was made by this import, so it holds no files yet.
void Import(Catalogue& catalogue, Folder& parent, Listing& listing, IPrompt& prompt, ImportReport& report, bool fresh)
{
    ShowMessages(listing.messages, prompt);
    report.skipped += listing.skipped;
    report.refused += listing.refused;
    if (!listing.readable) {
        report.failed = true;
        return;
    }

    std::unordered_set<std::string> names =
        listing.files.empty() || fresh ? std::unordered_set<std::string>{} : catalogue.FileNamesIn(parent.id);
    for (DiskItem& file : listing.files) {
        switch (AddStorableFileEntry(catalogue, parent.id, std::move(file.gbkName), std::move(file.path), file.length,
                                     prompt, &names)) {
            case EditResult::Done:
                ++report.files;
                break;
            case EditResult::Failed:
                report.failed = true;
                return;
            default:
                ++report.refused;
                break;
        }
    }
    for (size_t k = 0; k < listing.folders.size(); ++k) {
        const DiskItem& sub = listing.folders[k];
        Folder* folder = nullptr;
        for (const auto& child : parent.children)
            if (child->name == sub.gbkName) folder = child.get();
        const bool made = !folder;
        if (made) {
            folder = catalogue.InsertFolder(sub.gbkName, -1, parent);
            if (!folder) {
                report.failed = true;
                return;
            }
            ++report.folders;
        }
        listing.made[k].Wait();
        Import(catalogue, *folder, *listing.below[k], prompt, report, made);
        if (report.failed) return;
        listing.below[k].reset();
    }
}

}  // namespace

ImportReport ImportDirectoryTree(Catalogue& catalogue, Folder& parent, const std::string& dir, IPrompt& prompt)
{
    return ImportDirectoryTree(catalogue, parent, dir, prompt, {});
}

ImportReport ImportDirectoryTree(Catalogue& catalogue, Folder& parent, const std::string& dir, IPrompt& prompt,
                                 const ImportFilter& leaveOut)
{
    ImportReport report;
    Lister lister(leaveOut);
    Listing top;  // after the lister its jobs use, so that it and they go first
    try {
        lister.List(dir, std::string(), top);
        Import(catalogue, parent, top, prompt, report, false);
    } catch (...) {
        prompt.Tell(ThrownErrorText(std::current_exception()), MsgIcon::Error);
        report.failed = true;
    }
    return report;
}

}  // namespace tarvex
