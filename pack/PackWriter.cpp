// A save, from the catalogue to a new pack file in the target's place: the
// plan, the tables, every file's bytes in entry order, the entry table, and
// the checks that the target is still what it was before the new pack takes
// its place.
#include "pack/PackWriter.h"

#include <algorithm>

#include "base/GbkText.h"
#include "catalogue/PackPaths.h"
#include "pack/CarryOver.h"
#include "pack/FileProduction.h"
#include "pack/FolderTable.h"
#include "pack/SaveTarget.h"
#include "pack/Saving.h"
#include "pack/StreamedFiles.h"
#include "pack/TableWriter.h"
#include "talk/Messages.h"
#include "talk/ThrownError.h"
#include "threads/OrderedPipeline.h"
#include "threads/ThreadPool.h"

namespace tarvex {
namespace {

// The least memory files in flight may take together, whatever their sizes.
constexpr uint64_t kLeastBudget = 8 << 20;

class Writing {
public:
    Writing(Catalogue& catalogue, const PackState& current, ISchemeCoder& coder, IPrompt& prompt,
            const StoreOptions& options, const KeySchedule& keys)
        : saving_(catalogue, current, coder, prompt, options, keys)
    {
    }

    std::optional<PackState> Run(const std::string& target);

private:
    bool WriteData();
    bool PutProduced(size_t index, ProducedFile& produced);
    PackState Apply(const std::string& target, FolderNumbering& numbering);

    Saving saving_;
    StreamedFiles streamed_;
};

std::optional<PackState> Writing::Run(const std::string& target)
{
    Saving& s = saving_;
    if (!s.plan.Make(s.keys, s.prompt)) return std::nullopt;
    FolderNumbering numbering = BuildFolderTable(s.catalogue.Root());
    s.numbering = &numbering;
    s.folderPaths = FolderPathsById(s.catalogue);
    s.header.version = s.current.header.version;

    // Files are carried over only from the pack as it was read.
    const bool carries = s.plan.CarriesFromPack();
    const auto packIntact = [&] {
        if (!carries || (s.current.file && s.current.file->Unchanged())) return true;
        return s.Refuse(Printf(msg::kPackRewritten, s.current.path.c_str()));
    };
    // A stream has no place to look at or lock.
    SaveTarget place;
    const bool streams = s.options.toStandardOutput;
    const bool placed =
        streams || place.Prepare(target, s.current.file, s.options.replaceConfirmed, s.options.lockWait, s.prompt);
    if (!placed || !packIntact() ||
        !(streams ? s.out.OpenStandardOutput(target) : s.out.Open(target)))
        return std::nullopt;

    s.prompt.ProgressBegin(static_cast<uint32_t>(s.catalogue.Entries().size()));
    s.prompt.ProgressText(msg::kSaveCollecting);
    bool ok = WriteTables(s, numbering) && WriteData();
    if (ok) {
        s.prompt.ProgressText(msg::kSaveFinishing);
        ok = WriteEntryTable(s);
    }
    if (ok && s.options.beforeCommit) ok = s.options.beforeCommit();
    File written;
    if (ok) {
        SafeFileWriter::CommitRules rules;
        // Reported by the checks themselves.
        bool checked = true;
        rules.lastCheck = [&] { return checked = (streams || place.StillAsPrepared(s.prompt)) && packIntact(); };
        rules.replaceNothing = place.ExpectsNothing();
        rules.keep = &written;
        SafeFileWriter& out = s.out.Writer();
        if (!out.Commit(rules)) ok = checked && s.Refuse(s.out.FailureText(out.Error()));
    }
    s.prompt.ProgressEnd();
    if (!ok) {
        s.out.Writer().Abandon();
        return std::nullopt;
    }
    std::string error;
    std::shared_ptr<HeldPack> held = streams ? nullptr : HeldPack::Adopt(std::move(written), target, error);
    // Told once the pack is in place, while the catalogue still matches
    // what the views show.
    if (!s.storedUnencoded.empty()) {
        std::string lines;
        for (const std::string& fault : s.storedUnencoded) lines += (lines.empty() ? "" : "\n") + fault;
        s.prompt.Tell(Printf(msg::kStoredUnencoded, lines.c_str()), MsgIcon::Warning);
    }
    PackState state = Apply(target, numbering);
    state.file = std::move(held);
    return state;
}

// What a job throws on a worker comes here with its result, and what a
// step of the writing throws goes no further: either fails the save.
bool Writing::WriteData()
try {
    Saving& s = saving_;
    const auto& entries = s.catalogue.Entries();
    s.records.resize(entries.size());
    s.plan.PlanRoutes();
    std::optional<ByteBuffer> scratch = ByteBuffer::Allocate(kStreamPiece);
    if (!scratch) return s.Refuse(msg::kOutOfMemory);
    s.scratch = std::move(*scratch);

    // Files are read, encoded and scrambled on all cores, and written here in
    // entry order: the pack is the same byte for byte as a one-thread write.
    // The files in flight together hold at most the budget: one largest file
    // with its encoding per thread, and never less than the least budget.
    const size_t threads = s.options.threads ? s.options.threads : std::max<size_t>(1, ThreadPool::Shared().Threads());
    uint64_t largest = 0;
    for (size_t i = 0; i < entries.size(); ++i)
        if (s.plan.RouteOf(i) == Route::Produced) largest = std::max(largest, s.plan.Weight(i));
    ProductionPlace here(s.prompt, s.coder);
    OrderedPipeline<ProducedFile, ProductionPlace>::Jobs jobs;
    jobs.count = entries.size();
    jobs.onCaller = [&s](size_t i) { return s.plan.OnCaller(i); };
    jobs.weight = [&s](size_t i) { return s.plan.Weight(i); };
    jobs.work = [&s](size_t i, ProductionPlace& place) { return Produce(s, i, place); };
    OrderedPipeline<ProducedFile, ProductionPlace> pipeline(std::move(jobs), threads,
                                                            std::max(threads * largest, kLeastBudget),
                                                            [&s] { return std::make_unique<WorkerPlace>(s.coder); });

    for (size_t i = 0; i < entries.size();) {
        if (s.plan.RouteOf(i) == Route::FromPack) {
            const std::optional<size_t> next = CopyFromPack(s, i, here);
            if (!next) return false;
            i = *next;
            continue;
        }
        s.ShowProcessing(i);
        if (!PutProduced(i, pipeline.Take(i, here))) return false;
        ++i;
    }
    return true;
} catch (...) {
    return saving_.Refuse(ThrownErrorText(std::current_exception()));
}

bool Writing::PutProduced(size_t index, ProducedFile& produced)
{
    Saving& s = saving_;
    ShowMessages(produced.messages, s.prompt);
    if (!produced.ok) return false;
    StoredFile& file = produced.file;
    if (file.streamed.IsOpen() && s.plan.RouteOf(index) == Route::EncodedFromSource) {
        if (!streamed_.PutEncoded(s, index, file)) return false;
    } else {
        const uint64_t storedSize = file.streamed.IsOpen() ? file.fileSize : file.stored.size();
        if (!s.StartRecord(index, s.out.Position(), file.fileSize, storedSize, file.scheme)) return false;
        if (!(file.streamed.IsOpen() ? streamed_.PutAsIs(s, index, file) : s.out.Put(file.stored))) return false;
    }
    if (!file.encodeFault.empty()) s.storedUnencoded.push_back(std::move(file.encodeFault));
    s.prompt.ProgressStep();
    s.prompt.ProgressBytes(s.out.Position());
    return true;
}

PackState Writing::Apply(const std::string& target, FolderNumbering& numbering)
{
    Saving& s = saving_;
    for (size_t i = 0; i < numbering.folders.size(); ++i) numbering.folders[i]->id = static_cast<uint16_t>(i + 1);
    s.catalogue.SetFolderCounter(static_cast<uint16_t>(numbering.folders.size()));
    s.catalogue.ReplacePlugins(s.plan.TakePlugins());
    s.catalogue.ReplaceRecords(std::move(s.records));
    s.catalogue.EntriesFromRecords();

    // The table images are released at the end of a write.
    PackState state;
    state.header = s.header;
    state.keys = s.keys;
    state.title = GetPackTitle(target);
    state.path = target;
    s.catalogue.Root().name = Utf8ToGbkLossy(state.title);
    return state;
}

}  // namespace

std::optional<PackState> WritePack(const std::string& target, const KeySchedule& keys, Catalogue& catalogue,
                                   const PackState& current, ISchemeCoder& coder, IPrompt& prompt,
                                   const StoreOptions& options)
{
    return Writing(catalogue, current, coder, prompt, options, keys).Run(target);
}

}  // namespace tarvex
