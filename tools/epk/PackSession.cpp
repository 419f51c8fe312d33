#include "tools/epk/PackSession.h"

namespace tarvex::epk {

bool PackSession::UsePasswordOption(const CliArgs& args, PasswordMode mode)
{
    const std::optional<std::string> file = args.Value("--password-file");
    if (!file) return true;
    const std::optional<std::string> text = ReadPasswordFile(*file, mode);
    if (!text) return false;
    const std::optional<PasswordBlocks> blocks = PasswordFromText(*text);
    if (!blocks) return false;
    prompt.SetPassword(*blocks);
    return true;
}

bool PackSession::Open(const std::string& path, const CliArgs& args)
{
    return UsePasswordOption(args) && archive.Load(path, prompt);
}

}  // namespace tarvex::epk
