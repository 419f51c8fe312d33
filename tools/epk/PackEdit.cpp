#include "tools/epk/PackEdit.h"

#include "schemes/SchemeDispatch.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"

namespace tarvex::epk {

int EditPack(const CliArgs& args, const PackEditor& edit)
{
    PackSession session;
    const std::string& path = args.positional[0];
    // A dry run only reads, as readers do, without the lock.
    const bool opened = args.Has("--dry-run") ? session.Open(path, args) : session.OpenForEdit(path, args);
    if (!opened) return kExitFailure;

    EditOutcome outcome;
    edit(session, outcome);
    std::string text;
    for (const std::string& change : outcome.changes) text += change + "\n";
    Print(text);
    if (outcome.failed) {
        PrintErr("文件包没有改变。\n");
        return kExitFailure;
    }
    if (args.Has("--dry-run")) {
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
    }
    return outcome.refused ? kExitFailure : kExitOk;
}

}  // namespace tarvex::epk
