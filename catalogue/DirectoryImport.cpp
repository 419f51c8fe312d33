#include "catalogue/DirectoryImport.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <exception>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unordered_set>
#include <vector>

#include "base/SystemErrorText.h"
#include "platform/FileIo.h"
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

// What a look at one name of a folder found.
struct Look {
    bool found = false;
    bool isFile = false;
    bool isDir = false;
    uint64_t length = 0;
};

Look LookAt(int folderFd, const char* name)
{
    Look look;
    struct stat st {};
    // Looked up inside the open folder, not along the whole path again.
    if (::fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return look;
    look.found = true;
    const bool isLink = S_ISLNK(st.st_mode);
    if (isLink && ::fstatat(folderFd, name, &st, 0) != 0) st.st_mode = 0;
    look.isFile = S_ISREG(st.st_mode);
    look.isDir = S_ISDIR(st.st_mode) && !isLink;
    look.length = static_cast<uint64_t>(st.st_size);
    return look;
}

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
        // Closed on every way out, a filter that throws included.
        std::unique_ptr<DIR, int (*)(DIR*)> handle(::opendir(dir.c_str()), &::closedir);
        if (!handle) {
            prompt.Tell(Printf(msg::kCannotReadDir, dir.c_str(), SystemErrorText(errno).c_str()), MsgIcon::Error);
            listing.messages = prompt.Take();
            return;
        }
        listing.readable = true;
        std::vector<std::string> diskNames;
        while (const dirent* item = ::readdir(handle.get())) {
            if (std::strcmp(item->d_name, ".") == 0 || std::strcmp(item->d_name, "..") == 0) continue;
            if (leaveOut_ && leaveOut_(relative + item->d_name)) continue;
            diskNames.emplace_back(item->d_name);
        }
        const std::vector<Look> looks = LookAll(dir, ::dirfd(handle.get()), diskNames);
        handle.reset();

        for (size_t i = 0; i < diskNames.size(); ++i) {
            const Look& look = looks[i];
            if (!look.found) continue;
            std::string path = dir + "/" + diskNames[i];
            if (!look.isFile && !look.isDir) {
                prompt.Tell(Printf(msg::kSkippedSpecial, path.c_str()), MsgIcon::Warning);
                ++listing.skipped;
                continue;
            }
            std::optional<std::string> gbk = StorableName(diskNames[i], prompt);
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
    // files costs: a large folder's names are shared out over the pool.
    // Each run holds the folder by a descriptor of its own, as threads
    // sharing one would contend for it on every call.
    std::vector<Look> LookAll(const std::string& dir, int folderFd, const std::vector<std::string>& names)
    {
        std::vector<Look> looks(names.size());
        const auto lookAt = [&](size_t first, int fd) {
            for (size_t i = first; i < std::min(names.size(), first + kLookRun); ++i)
                looks[i] = LookAt(fd, names[i].c_str());
        };
        std::vector<ThreadPool::Ticket> runs;
        std::exception_ptr thrown;
        try {
            runs.reserve(names.size() / kLookRun);
            for (size_t first = kLookRun; first < names.size(); first += kLookRun)
                runs.push_back(pool_.Submit([&, first] {
                    File own;
                    lookAt(first, own.OpenFolder(dir) ? own.Fd() : folderFd);
                }));
            lookAt(0, folderFd);
        } catch (...) {
            thrown = std::current_exception();
        }
        // Every run handed in writes into looks: all are waited for,
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
        return looks;
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
