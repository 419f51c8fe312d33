#include "tools/epk/CliArgs.h"

namespace tarvex::epk {

std::optional<CliArgs> ParseCliArgs(const std::vector<std::string>& args, const std::set<std::string>& valued,
                                    const std::set<std::string>& flags, std::string& error)
{
    CliArgs parsed;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        if (valued.count(name)) {
            if (eq != std::string::npos) {
                parsed.values[name] = arg.substr(eq + 1);
            } else if (i + 1 < args.size()) {
                parsed.values[name] = args[++i];
            } else {
                error = "选项“" + name + "”缺少参数值。";
                return std::nullopt;
            }
            parsed.allValues[name].push_back(parsed.values[name]);
        } else if (flags.count(name) && eq == std::string::npos) {
            parsed.flags.insert(name);
        } else {
            error = "未知的选项“" + arg + "”。";
            return std::nullopt;
        }
    }
    return parsed;
}

}  // namespace tarvex::epk
