// epk sync: makes a pack hold a directory tree, changing only what differs.

#include "base/GbkText.h"
#include "catalogue/DirectoryImport.h"
#include "catalogue/Exclusions.h"
#include "platform/DiskPaths.h"
#include "schemes/SchemeDispatch.h"
#include "sync/SyncPlan.h"
#include "talk/Messages.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"
#include "tools/epk/Json.h"
#include "tools/epk/ListedPaths.h"
#include "tools/epk/PackSession.h"
#include "tools/epk/SchemeArgument.h"

namespace tarvex::epk {
namespace {

struct ActionNames {
    const char* label;  // of the printed line
    const char* action;  // in JSON
    const char* type;
};

ActionNames NamesOf(SyncAction action)
{
    switch (action) {
    case SyncAction::AddFolder: return {"新建文件夹 ", "add", "folder"};
    case SyncAction::Add: return {"加入 ", "add", "file"};
    case SyncAction::Change: return {"更新 ", "change", "file"};
    case SyncAction::Remove: return {"删除 ", "remove", "file"};
    case SyncAction::RemoveFolder: return {"删除文件夹 ", "remove", "folder"};
    }
    return {"", "", ""};
}

struct Counts {
    size_t added = 0, changed = 0, removed = 0, unchanged = 0, foldersAdded = 0, foldersRemoved = 0;

    bool Any() const { return added + changed + removed + foldersAdded + foldersRemoved > 0; }
};

Counts CountsOf(const SyncOutcome& outcome)
{
    Counts counts;
    counts.unchanged = outcome.unchanged;
    for (const SyncChange& change : outcome.changes) {
        switch (change.action) {
        case SyncAction::AddFolder: ++counts.foldersAdded; break;
        case SyncAction::Add: ++counts.added; break;
        case SyncAction::Change: ++counts.changed; break;
        case SyncAction::Remove: ++counts.removed; break;
        case SyncAction::RemoveFolder: ++counts.foldersRemoved; break;
        }
    }
    return counts;
}

std::string CountsText(const Counts& c)
{
    std::string text = Printf("加入 %zu 个文件，更新 %zu 个，删除 %zu 个，%zu 个没有改变", c.added, c.changed,
                              c.removed, c.unchanged);
    if (c.foldersAdded + c.foldersRemoved > 0)
        text += Printf("；新建 %zu 个文件夹，删除 %zu 个文件夹", c.foldersAdded, c.foldersRemoved);
    return text;
}

std::string ChangeLines(const SyncOutcome& outcome)
{
    std::string text;
    for (const SyncChange& change : outcome.changes) text += NamesOf(change.action).label + ListedPath(change.names) + "\n";
    return text;
}

std::string ChangesJson(const std::string& packPath, const SyncOutcome& outcome, bool created, bool written)
{
    const Counts c = CountsOf(outcome);
    JsonWriter json;
    json.BeginObject().Number("format", kJsonFormat).Field("pack", packPath).BeginArray("changes");
    for (const SyncChange& change : outcome.changes) {
        const ActionNames names = NamesOf(change.action);
        json.BeginObject().Field("action", names.action).Field("type", names.type).Field("path", ListedPath(change.names, kJsonPath)).EndObject();
    }
    json.EndArray()
        .Number("added", c.added)
        .Number("changed", c.changed)
        .Number("removed", c.removed)
        .Number("unchanged", c.unchanged)
        .Number("folders_added", c.foldersAdded)
        .Number("folders_removed", c.foldersRemoved)
        .Flag("created", created)
        .Flag("written", written)
        .EndObject();
    return json.Text();
}

std::string Summary(const std::string& packPath, const Counts& counts, bool created, bool dryRun)
{
    if (dryRun) return "试运行：将" + CountsText(counts) + "；没有写入任何文件。\n";
    if (created) return "已创建 " + packPath + "：" + CountsText(counts) + "。\n";
    if (!counts.Any()) return Printf("%s 没有需要同步的改变：%zu 个文件没有改变，没有写入文件包。\n", packPath.c_str(), counts.unchanged);
    return "已同步 " + packPath + "：" + CountsText(counts) + "。\n";
}

bool PackExists(const std::string& path)
{
    PathStatus st;
    std::string error;
    return LookAtPath(path, st, error) != PathState::Missing;
}

// Opens the pack, or starts a new one where there is none.
bool OpenOrStart(PackSession& session, const CliArgs& args, bool created)
{
    const std::string& packPath = args.positional[0];
    if (!created) return args.Has("--dry-run") ? session.Open(packPath, args) : session.OpenForEdit(packPath, args);
    session.catalogue.Reset(Utf8ToGbkLossy(GetPackTitle(packPath)));
    return session.UsePasswordOption(args, PasswordMode::Set);
}

// The tree, read whole first with create's checks: a name the pack cannot
// hold stops the command before anything is changed.
bool ReadTree(const std::string& dir, const Exclusions& exclusions, IPrompt& prompt, Catalogue& disk,
              ImportReport& report)
{
    report = ImportDirectoryTree(disk, disk.Root(), dir, prompt, exclusions.Filter());
    return !report.failed && report.refused == 0;
}

}  // namespace

int RunSync(const CliArgs& args)
{
    const std::string& packPath = args.positional[0];
    const std::string& dir = args.positional[1];
    if (!IsFolderOrSay(dir)) return kExitFailure;

    PackSession session;
    Catalogue& catalogue = session.catalogue;
    const bool created = !PackExists(packPath);
    if (!OpenOrStart(session, args, created)) return kExitFailure;
    SyncOptions options;
    if (const std::optional<std::string> name = args.Value("--scheme")) {
        options.scheme = ParseSchemeArgument(*name, catalogue);
        if (!options.scheme) return NamesModule(*name) ? kExitFailure : kExitUsage;
    }
    const Exclusions exclusions(args.Values("--exclude"));
    options.exclusions = &exclusions;
    options.deleteAbsent = args.Has("--delete");
    if (!created) options.packOnDisk = packPath;

    Catalogue disk;
    ImportReport report;
    if (!ReadTree(dir, exclusions, session.prompt, disk, report)) {
        PrintErr(std::string(created ? "没有创建文件包" : "文件包没有改变") + "：有文件无法加入文件包（见上面的说明）。\n");
        return kExitFailure;
    }
    const bool dryRun = args.Has("--dry-run");
    const PackSaver save = [&](const std::function<bool()>& beforeCommit) {
        const std::optional<PasswordBlocks> password =
            created ? session.prompt.AskPassword(PasswordMode::Set) : std::nullopt;
        const KeySchedule keys = created ? MakeKeySchedule(password.value_or(PasswordBlocks{})) : session.archive.Keys();
        SchemeDispatch dispatch(catalogue, session.prompt);
        StoreOptions store;
        store.fallbackToNone = true;
        store.beforeCommit = beforeCommit;
        store.lockWait = SaveWait(packPath, args);
        return session.archive.Store(packPath, keys, dispatch, session.prompt, store);
    };
    const SyncOutcome outcome =
        SyncCatalogue(session.archive, disk, options, session.prompt, dryRun ? PackSaver() : save);
    if (outcome.failed) {
        PrintErr(created ? "没有创建文件包。\n" : "文件包没有改变。\n");
        return kExitFailure;
    }
    if (outcome.saveFailed) return kExitFailure;
    const Counts counts = CountsOf(outcome);
    Print(args.Has("--json") ? ChangesJson(packPath, outcome, created, outcome.saved)
                             : ChangeLines(outcome) + Summary(packPath, counts, created, dryRun));
    if (report.skipped > 0) {
        PrintErr(Printf("有%zu个项目不是普通文件或文件夹，没有加入文件包（见上面的说明）。\n", report.skipped));
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace tarvex::epk
