#include "schemes/TreeExtraction.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/stat.h>
#include <unordered_map>
#include <vector>

#include "archive/GbkText.h"
#include "archive/Messages.h"

namespace tarvex {
namespace {

constexpr const char* kCannotMakeFolder = "无法创建文件夹%s！\n%s";
constexpr const char* kNotAFolder = "%s已经存在，但不是文件夹，无法在其中解压缩。";

// The disk name of a pack name, or nothing (reported) when it cannot be one.
std::optional<std::string> DiskNameOf(const std::string& gbkName, IPrompt& prompt)
{
    std::string name;
    if (!IsSafeDiskName(gbkName, name)) {
        prompt.Tell(Printf(msg::kUnsafeName, GbkToUtf8Lossy(gbkName).c_str()), MsgIcon::Warning);
        return std::nullopt;
    }
    if (name.size() > NAME_MAX) {
        prompt.Tell(Printf(msg::kNameTooLongForDisk, name.c_str()), MsgIcon::Warning);
        return std::nullopt;
    }
    return name;
}

// Makes a folder that must be a real directory afterwards.
bool MakeRealDirectory(const std::string& path, IPrompt& prompt)
{
    if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
        prompt.Tell(Printf(kCannotMakeFolder, path.c_str(), std::strerror(errno)), MsgIcon::Error);
        return false;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        prompt.Tell(Printf(kNotAFolder, path.c_str()), MsgIcon::Error);
        return false;
    }
    return true;
}

}  // namespace

bool ExtractEntryInto(PackExtractor& extractor, const Catalogue& catalogue, size_t index,
                      const std::string& destFolder, IPrompt& prompt)
{
    const std::optional<std::string> name = DiskNameOf(catalogue.Entries()[index].name, prompt);
    return name && extractor.ExtractTo(index, destFolder + "/" + *name);
}

ExtractionReport ExtractFolderTree(PackExtractor& extractor, const Catalogue& catalogue, const Folder& folder,
                                   const std::string& destFolder, IPrompt& prompt, const BeforeFileWritten& beforeFile)
{
    ExtractionReport report;
    std::unordered_map<uint32_t, std::vector<size_t>> filesOf;
    for (size_t i = 0; i < catalogue.Entries().size(); ++i) filesOf[catalogue.Entries()[i].folderId].push_back(i);

    std::vector<std::pair<const Folder*, std::string>> pending;
    if (folder.parent) {
        const std::optional<std::string> name = DiskNameOf(folder.name, prompt);
        const std::string path = name ? destFolder + "/" + *name : std::string();
        if (!name || !MakeRealDirectory(path, prompt)) {
            ++report.failed;
            return report;
        }
        pending.emplace_back(&folder, path);
    } else {
        pending.emplace_back(&folder, destFolder);
    }
    while (!pending.empty()) {
        auto [current, path] = std::move(pending.back());
        pending.pop_back();
        for (size_t index : filesOf[current->id]) {
            if (beforeFile) beforeFile(index, path);
            if (ExtractEntryInto(extractor, catalogue, index, path, prompt)) {
                ++report.written;
            } else {
                ++report.failed;
            }
        }
        for (const auto& child : current->children) {
            const std::optional<std::string> name = DiskNameOf(child->name, prompt);
            const std::string childPath = name ? path + "/" + *name : std::string();
            if (!name || !MakeRealDirectory(childPath, prompt)) {
                ++report.failed;
                continue;
            }
            pending.emplace_back(child.get(), childPath);
        }
    }
    return report;
}

}  // namespace tarvex
