#pragma once
// A pack opened by an epk command, with the prompt that reports for it.
#include <optional>
#include <string>

#include "catalogue/Catalogue.h"
#include "pack/PackArchive.h"
#include "tools/epk/CliArgs.h"
#include "tools/epk/CliPrompt.h"

namespace tarvex::epk {

struct PackSession {
    Catalogue catalogue;
    CPackArchive archive{catalogue};
    CliPrompt prompt;

    // Takes the password of --password-file, if given, for the next question:
    // the password of the pack being opened, or (mode Set) of a new pack.
    bool UsePasswordOption(const CliArgs& args, PasswordMode mode = PasswordMode::Enter);
    // Opens the pack at path (asking for a password as the prompt does); "-"
    // is the pack on standard input.
    bool Open(const std::string& path, const CliArgs& args);
    // Opens the pack at path for an edit: takes its write lock first,
    // waiting for another writer as --wait says, and keeps it until the
    // pack is saved or the session ends, so that no other writer comes
    // between this read and this save.
    bool OpenForEdit(const std::string& path, const CliArgs& args);
};

// The seconds of --wait, checked; a short while when it is not given.
// Nothing when the value is not a number of seconds.
std::optional<LockWait> WaitOption(const CliArgs& args);
// How a save of the pack at path waits for another writer: said once on
// standard error when it starts waiting.
LockWait SaveWait(const std::string& path, const CliArgs& args);

}  // namespace tarvex::epk
