#pragma once
// Command-line arguments of one epk command: positionals, options with a
// value ("--name value" or "--name=value", possibly repeated) and flags.
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tarvex::epk {

struct CliArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;                  // the last value of each option
    std::map<std::string, std::vector<std::string>> allValues;  // every value, in order
    std::set<std::string> flags;

    bool Has(const std::string& flag) const { return flags.count(flag) != 0; }
    std::optional<std::string> Value(const std::string& option) const
    {
        const auto it = values.find(option);
        return it == values.end() ? std::nullopt : std::optional<std::string>(it->second);
    }
    // The values of an option that may be given more than once.
    std::vector<std::string> Values(const std::string& option) const
    {
        const auto it = allValues.find(option);
        return it == allValues.end() ? std::vector<std::string>{} : it->second;
    }
};

// Empty, with `error` set, when an option is unknown or lacks its value.
std::optional<CliArgs> ParseCliArgs(const std::vector<std::string>& args, const std::set<std::string>& valued,
                                    const std::set<std::string>& flags, std::string& error);

}  // namespace tarvex::epk
