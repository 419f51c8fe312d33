#pragma once
// Runs the epk program as a script would and captures what it says.
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace tarvex {

struct EpkRun {
    int status;
    std::string out;
    std::string err;
};

inline std::string Quote(const std::string& arg)
{
    std::string q = "'";
    for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A shell command line run with no input, its output and messages captured.
inline EpkRun RunCaptured(const std::string& command)
{
    test::TempDir io;
    const std::string line = command + " >" + Quote(io / "out") + " 2>" + Quote(io / "err") + " </dev/null";
    const int raw = std::system(line.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(io / "out"), ReadText(io / "err")};
}

// A message as epk says it on standard error: every line after "epk: ".
inline std::string Said(const std::string& text)
{
    std::string said = "epk: ";
    for (char c : text) said += c == '\n' ? std::string("\nepk: ") : std::string(1, c);
    return said;
}

inline EpkRun Epk(const std::vector<std::string>& args)
{
    std::string command = Quote(EPK_PATH);
    for (const auto& a : args) command += " " + Quote(a);
    return RunCaptured(command);
}

// The paths below dir/relative, relative to it: its files, and with
// `folders` its folders too, each ending in '/'.
inline std::set<std::string> PathsBelow(const test::TempDir& dir, const std::string& relative, bool folders,
                                        const std::string& prefix = "")
{
    std::set<std::string> paths;
    for (const std::string& name : dir.List(relative)) {
        struct stat st {};
        ::lstat((dir / (relative + "/" + name)).c_str(), &st);
        if (!S_ISDIR(st.st_mode)) {
            paths.insert(prefix + name);
            continue;
        }
        if (folders) paths.insert(prefix + name + "/");
        paths.merge(PathsBelow(dir, relative + "/" + name, folders, prefix + name + "/"));
    }
    return paths;
}

}  // namespace tarvex
