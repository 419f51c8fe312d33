#include "schemes/TreeExtraction.h"

#include <cerrno>
#include <algorithm>
#include <unordered_map>
#include <vector>

#include "base/GbkText.h"
#include "base/SystemErrorText.h"
#include "platform/DiskPaths.h"
#include "talk/DeferredPrompt.h"
#include "talk/Messages.h"
#include "talk/ThrownError.h"
#include "threads/OrderedPipeline.h"
#include "threads/ThreadPool.h"

namespace tarvex {
namespace {

constexpr uint64_t kLeastBudget = 8 << 20;

// Makes (or enters) the real directory `name` of a folder; a link or a file
// of that name is refused.
std::shared_ptr<const DiskFolder> MakeRealDirectory(const DiskFolder& parent, const std::string& name, IPrompt& prompt)
{
    std::shared_ptr<const DiskFolder> child;
    std::string error;
    switch (parent.Child(name, child, error)) {
    case DiskFolder::ChildStatus::Ok: return child;
    case DiskFolder::ChildStatus::NotAFolder:
        prompt.Tell(Printf(msg::kNotAFolder, parent.PathOf(name).c_str()), MsgIcon::Error);
        return nullptr;
    case DiskFolder::ChildStatus::Failed:
        prompt.Tell(Printf(msg::kCannotMakeFolder, parent.PathOf(name).c_str(), error.c_str()), MsgIcon::Error);
        return nullptr;
    }
    return nullptr;
}

}  // namespace

std::optional<std::string> DiskNameOf(const std::string& gbkName, IPrompt& prompt)
{
    std::string name;
    if (!IsSafeDiskName(gbkName, name)) {
        prompt.Tell(Printf(msg::kUnsafeName, GbkToUtf8Lossy(gbkName).c_str()), MsgIcon::Warning);
        return std::nullopt;
    }
    if (!IsShortEnoughForTheDisk(name)) {
        prompt.Tell(Printf(msg::kNameTooLongForDisk, name.c_str()), MsgIcon::Warning);
        return std::nullopt;
    }
    return name;
}

std::shared_ptr<const DiskFolder> OpenDestination(const std::string& path, IPrompt& prompt)
{
    std::string error;
    std::shared_ptr<const DiskFolder> folder = DiskFolder::Open(path, error);
    if (!folder) prompt.Tell(Printf(msg::kCannotOpenFile, path.c_str(), error.c_str()), MsgIcon::Error);
    return folder;
}

std::shared_ptr<const DiskFolder> MakeFolderPlace(const Catalogue& catalogue, const Folder& folder,
                                                  const std::shared_ptr<const DiskFolder>& dest, IPrompt& prompt)
{
    std::shared_ptr<const DiskFolder> place = dest;
    for (const Folder* f : catalogue.PathOf(folder)) {
        const std::optional<std::string> name = DiskNameOf(f->name, prompt);
        if (!name || !(place = MakeRealDirectory(*place, *name, prompt))) return nullptr;
    }
    return place;
}

bool ExtractEntryInto(PackExtractor& extractor, const Catalogue& catalogue, size_t index, const DiskFolder& dest,
                      IPrompt& prompt)
{
    const std::optional<std::string> name = DiskNameOf(catalogue.Entries()[index].name, prompt);
    return name && extractor.ExtractTo(index, dest, *name);
}

namespace {

// Where files are written: the caller's extractor and prompt, or a worker's
// own, whose messages wait until the file's turn comes.
struct WritingPlace {
    WritingPlace(PackExtractor& e, IPrompt& p) : extractor(e), prompt(p) {}
    virtual ~WritingPlace() = default;
    virtual std::vector<DeferredMessage> TakeMessages() { return {}; }
    PackExtractor& extractor;
    IPrompt& prompt;
};

struct WorkerParts {
    explicit WorkerParts(const PackExtractor& prototype) : own(prototype.Twin(deferred)) {}
    DeferredPrompt deferred;
    std::unique_ptr<PackExtractor> own;
};

struct WorkerPlace : WorkerParts, WritingPlace {
    explicit WorkerPlace(const PackExtractor& prototype) : WorkerParts(prototype), WritingPlace(*own, deferred) {}
    std::vector<DeferredMessage> TakeMessages() override { return deferred.Take(); }
};

struct WrittenFile {
    bool ok = false;
    std::vector<DeferredMessage> messages;
};

struct FileJob {
    size_t index;
    std::shared_ptr<const DiskFolder> folder;
};

}  // namespace

ExtractionReport ExtractFolderTree(PackExtractor& extractor, const Catalogue& catalogue, const Folder& folder,
                                   const std::shared_ptr<const DiskFolder>& dest, IPrompt& prompt,
                                   const BeforeFileWritten& beforeFile)
{
    ExtractionReport report;
    std::unordered_map<uint32_t, std::vector<size_t>> filesOf;
    for (size_t i = 0; i < catalogue.Entries().size(); ++i) filesOf[catalogue.Entries()[i].folderId].push_back(i);

    // The folders are made first, here, each held open; then the files are
    // decoded and written on all cores, their messages shown in order.
    std::vector<FileJob> files;
    std::vector<std::pair<const Folder*, std::shared_ptr<const DiskFolder>>> pending;
    if (folder.parent) {
        const std::optional<std::string> name = DiskNameOf(folder.name, prompt);
        std::shared_ptr<const DiskFolder> place = name ? MakeRealDirectory(*dest, *name, prompt) : nullptr;
        if (!place) {
            ++report.failed;
            return report;
        }
        pending.emplace_back(&folder, std::move(place));
    } else {
        pending.emplace_back(&folder, dest);
    }
    while (!pending.empty()) {
        auto [current, place] = std::move(pending.back());
        pending.pop_back();
        for (size_t index : filesOf[current->id]) files.push_back({index, place});
        for (const auto& child : current->children) {
            const std::optional<std::string> name = DiskNameOf(child->name, prompt);
            std::shared_ptr<const DiskFolder> childPlace = name ? MakeRealDirectory(*place, *name, prompt) : nullptr;
            if (!childPlace) {
                ++report.failed;
                continue;
            }
            pending.emplace_back(child.get(), std::move(childPlace));
        }
    }

    // A file stored as it is goes over through a piece buffer; a coded one
    // holds its stored and its decoded bytes while it is decoded. The files
    // in flight together hold at most one largest file per thread, and never
    // less than the least budget.
    const auto weight = [&](size_t index) {
        const uint64_t held = extractor.StoredAsIs(index) ? 0 : extractor.HeldWhileDecoded(index);
        return std::max<uint64_t>(held, 4096);
    };
    uint64_t largest = 0;
    std::vector<bool> onCaller(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        largest = std::max(largest, weight(files[i].index));
        onCaller[i] = !extractor.DecodesOnAnyThread(files[i].index);
    }
    const size_t threads = std::max<size_t>(1, ThreadPool::Shared().Threads());
    OrderedPipeline<WrittenFile, WritingPlace>::Jobs jobs;
    jobs.count = files.size();
    jobs.onCaller = [&](size_t i) { return onCaller[i]; };
    jobs.weight = [&](size_t i) { return weight(files[i].index); };
    jobs.work = [&](size_t i, WritingPlace& place) {
        WrittenFile written;
        written.ok = ExtractEntryInto(place.extractor, catalogue, files[i].index, *files[i].folder, place.prompt);
        written.messages = place.TakeMessages();
        return written;
    };
    OrderedPipeline<WrittenFile, WritingPlace> pipeline(std::move(jobs), threads,
                                                       std::max<uint64_t>(threads * largest, kLeastBudget),
                                                       [&] { return std::make_unique<WorkerPlace>(extractor); });
    WritingPlace here(extractor, prompt);
    for (size_t i = 0; i < files.size(); ++i) {
        if (beforeFile) beforeFile(files[i].index, files[i].folder->Path());
        const WrittenFile* written = nullptr;
        try {
            written = &pipeline.Take(i, here);
        } catch (...) {
            // A job that threw costs its file, as any other failure does.
            prompt.Tell(ThrownErrorText(std::current_exception()), MsgIcon::Error);
            ++report.failed;
            continue;
        }
        ShowMessages(written->messages, prompt);
        ++(written->ok ? report.written : report.failed);
    }
    return report;
}

ExtractionReport ExtractFolderTree(PackExtractor& extractor, const Catalogue& catalogue, const Folder& folder,
                                   const std::string& destPath, IPrompt& prompt, const BeforeFileWritten& beforeFile)
{
    const std::shared_ptr<const DiskFolder> dest = OpenDestination(destPath, prompt);
    if (!dest) return {0, 1};
    return ExtractFolderTree(extractor, catalogue, folder, dest, prompt, beforeFile);
}

}  // namespace tarvex
