#pragma once
// epk's commands as data: what each takes and how it is described. The
// argument parser, the usage texts and the words the shell's completion
// offers all come from this one table.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/epk/CliArgs.h"

namespace tarvex::epk {

inline constexpr size_t kAnyCount = SIZE_MAX;

struct OptionSpec {
    const char* name;
    // What its value is, for the completion ("scheme", "file", "folder",
    // "packfolder", "seconds", "pattern"); null for a flag.
    const char* value = nullptr;
};

struct CommandSpec {
    const char* name;
    int (*run)(const CliArgs&);
    size_t minPositionals;
    size_t maxPositionals;
    // What each positional argument is, for the completion; a last kind
    // ending in "..." stands for all the rest. Kinds: pack, newpack, folder,
    // file, packpath, packfolder, name, dest (a folder, or a pack path after
    // -C), schemepath (a pack path, or a scheme as the last one).
    const char* arguments;
    std::vector<OptionSpec> options;
    // Whether "-" may stand for standard input or output as the pack.
    bool streams;
    const char* usage;
};

const std::vector<CommandSpec>& CommandTable();
// Nothing when no command has that name.
const CommandSpec* FindCommand(const std::string& name);
// The usage of every command and what they share.
std::string Usage();

}  // namespace tarvex::epk
