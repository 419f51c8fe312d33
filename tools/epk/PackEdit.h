#pragma once
// The frame of epk's editing commands: open the pack, change its catalogue
// with the same operations the editor uses, print what changed, and save the
// pack in place through the safe save (or, with --dry-run, write nothing).
// The changes are printed once they are saved.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/CatalogueEdits.h"
#include "catalogue/PackPaths.h"
#include "format/PasswordKeys.h"
#include "tools/epk/CliArgs.h"
#include "tools/epk/PackSession.h"

namespace tarvex::epk {

struct EditOutcome {
    std::vector<std::string> changes;  // one line each, UTF-8
    bool refused = false;              // something was refused (reported); the rest stands
    bool failed = false;               // the command cannot go on (reported); nothing is saved
    std::optional<KeySchedule> keys;   // new keys; the pack's own when empty
    // Told once the pack is saved, with the catalogue as saved: may put right
    // the lines of changes the save did not make after all.
    std::function<void(const Catalogue&, std::vector<std::string>& changes)> afterSave;
};

using PackEditor = std::function<void(PackSession&, EditOutcome&)>;

// What a typed path names (a folder and a file of one name refused);
// reports, notes the refusal and gives nothing when it names nothing.
std::optional<PathTarget> FindForEdit(PackSession& s, const std::string& path, EditOutcome& out);
// Notes what an edit of the catalogue came to: the change line when it was
// done, a refusal or a failure otherwise.
void NoteResult(EditOutcome& out, EditResult result, const std::string& change);

// Runs an edit on the pack named by the first positional argument. Exit
// status 0 when everything was done, 1 when anything was refused or failed.
int EditPack(const CliArgs& args, const PackEditor& edit);

}  // namespace tarvex::epk
