#include "tools/epk/PackEdit.h"

#include "schemes/SchemeDispatch.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"
#include "tools/epk/PackTargets.h"

namespace tarvex::epk {

std::optional<PathTarget> FindForEdit(PackSession& s, const std::string& path, EditOutcome& out)
{
    std::optional<PathTarget> target = FindOneNamed(s.catalogue, path, s.prompt);
    if (!target) out.refused = true;
    return target;
}

void NoteResult(EditOutcome& out, EditResult result, const std::string& change)
{
    if (result == EditResult::Done) out.changes.push_back(change);
    if (result == EditResult::Refused) out.refused = true;
    if (result == EditResult::Failed) out.failed = true;
}

int EditPack(const CliArgs& args, const PackEditor& edit)
{
    PackSession session;
    const std::string& path = args.positional[0];
    // A dry run only reads, as readers do, without the lock.
    const bool opened = args.Has("--dry-run") ? session.Open(path, args) : session.OpenForEdit(path, args);
    if (!opened) return kExitFailure;

    EditOutcome outcome;
    edit(session, outcome);
    const auto printChanges = [&outcome] {
        std::string text;
        for (const std::string& change : outcome.changes) text += change + "\n";
        Print(text);
    };
    if (outcome.failed) {
        printChanges();
        PrintErr("文件包没有改变。");
        return kExitFailure;
    }
    if (args.Has("--dry-run")) {
        printChanges();
        Print("试运行：没有写入任何文件。\n");
        return outcome.refused ? kExitFailure : kExitOk;
    }
    if (!outcome.changes.empty()) {
        SchemeDispatch dispatch(session.catalogue, session.prompt);
        StoreOptions options;
        options.fallbackToNone = true;
        options.lockWait = SaveWait(path, args);
        const KeySchedule keys = outcome.keys.value_or(session.archive.Keys());
        if (!session.archive.Store(path, keys, dispatch, session.prompt, options)) return kExitFailure;
        if (outcome.afterSave) outcome.afterSave(session.catalogue, outcome.changes);
    }
    printChanges();
    return outcome.refused ? kExitFailure : kExitOk;
}

}  // namespace tarvex::epk
