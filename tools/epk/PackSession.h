#pragma once
// A pack opened by an epk command, with the prompt that reports for it.
#include <string>

#include "archive/Catalogue.h"
#include "archive/PackArchive.h"
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
    // Opens the pack at path (asking for a password as the prompt does).
    bool Open(const std::string& path, const CliArgs& args);
};

}  // namespace tarvex::epk
