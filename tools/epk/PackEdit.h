#pragma once
// The frame of epk's editing commands: open the pack, change its catalogue
// with the same operations the editor uses, print what changed, and save the
// pack in place through the safe save (or, with --dry-run, write nothing).
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "format/PasswordKeys.h"
#include "tools/epk/CliArgs.h"
#include "tools/epk/PackSession.h"

namespace tarvex::epk {

struct EditOutcome {
    std::vector<std::string> changes;  // one line each, UTF-8
    bool refused = false;              // something was refused (reported); the rest stands
    bool failed = false;               // the command cannot go on (reported); nothing is saved
    std::optional<KeySchedule> keys;   // new keys; the pack's own when empty
};

using PackEditor = std::function<void(PackSession&, EditOutcome&)>;

// Runs an edit on the pack named by the first positional argument. Exit
// status 0 when everything was done, 1 when anything was refused or failed.
int EditPack(const CliArgs& args, const PackEditor& edit);

}  // namespace tarvex::epk
