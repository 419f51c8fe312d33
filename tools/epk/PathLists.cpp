#include "tools/epk/PathLists.h"

#include <algorithm>

#include "talk/Messages.h"
#include "tools/epk/Console.h"
#include "tools/epk/InputFiles.h"

namespace tarvex::epk {
namespace {

constexpr const char* kCannotReadList = "无法读取列表文件“%s”：%s\n";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(std::string_view line)
{
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

// The whole text of a list, read to its end: a pipe ("@/dev/stdin",
// "@<(find ...)") has no length to go by.
std::optional<std::string> ReadList(const std::string& path)
{
    InputFile file;
    std::optional<std::string> text;
    if (file.Open(path)) text = file.ReadToEnd();
    if (!text) PrintErr(Printf(kCannotReadList, path.c_str(), file.Error().c_str()));
    return text;
}

bool AppendListLines(const std::string& path, std::vector<std::string>& out)
{
    const std::optional<std::string> text = ReadList(path);
    if (!text) return false;
    std::string_view rest = *text;
    if (rest.starts_with(kByteOrderMark)) rest.remove_prefix(kByteOrderMark.size());
    while (!rest.empty()) {
        const size_t end = std::min(rest.find('\n'), rest.size());
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (!IsBlank(line)) out.emplace_back(line);
    }
    return true;
}

}  // namespace

std::optional<std::vector<std::string>> ExpandPathLists(std::span<const std::string> args)
{
    std::vector<std::string> paths;
    for (const std::string& arg : args) {
        if (arg.size() < 2 || arg[0] != '@') {
            paths.push_back(arg);
        } else if (!AppendListLines(arg.substr(1), paths)) {
            return std::nullopt;
        }
    }
    return paths;
}

}  // namespace tarvex::epk
