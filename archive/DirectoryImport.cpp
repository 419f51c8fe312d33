#include "archive/DirectoryImport.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unordered_set>
#include <vector>

#include "archive/Messages.h"

namespace tarvex {
namespace {

constexpr const char* kSkippedSpecial = "已跳过%s：它不是普通文件或文件夹。";
constexpr const char* kCannotReadDir = "无法读取文件夹%s！\n%s";

struct DiskItem {
    std::string gbkName;
    std::string path;
    uint64_t length;
};

// fresh: the folder was made by this import, so it holds no files yet.
void Import(Catalogue& catalogue, Folder& parent, const std::string& dir, IPrompt& prompt, ImportReport& report,
            bool fresh)
{
    DIR* handle = ::opendir(dir.c_str());
    if (!handle) {
        prompt.Tell(Printf(kCannotReadDir, dir.c_str(), std::strerror(errno)), MsgIcon::Error);
        report.failed = true;
        return;
    }
    std::vector<DiskItem> files;
    std::vector<DiskItem> folders;
    while (const dirent* item = ::readdir(handle)) {
        const std::string name = item->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = dir + "/" + name;
        struct stat st {};
        // Looked up inside the open folder, not along the whole path again.
        if (::fstatat(::dirfd(handle), item->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        const bool isLink = S_ISLNK(st.st_mode);
        if (isLink && ::fstatat(::dirfd(handle), item->d_name, &st, 0) != 0) st.st_mode = 0;
        const bool isFile = S_ISREG(st.st_mode);
        const bool isDir = S_ISDIR(st.st_mode) && !isLink;
        if (!isFile && !isDir) {
            prompt.Tell(Printf(kSkippedSpecial, path.c_str()), MsgIcon::Warning);
            ++report.skipped;
            continue;
        }
        std::optional<std::string> gbk = StorableName(name, prompt);
        if (!gbk) {
            ++report.refused;
            continue;
        }
        (isFile ? files : folders).push_back({std::move(*gbk), path, static_cast<uint64_t>(st.st_size)});
    }
    ::closedir(handle);

    const auto byName = [](const DiskItem& a, const DiskItem& b) { return a.gbkName < b.gbkName; };
    std::sort(files.begin(), files.end(), byName);
    std::sort(folders.begin(), folders.end(), byName);

    std::unordered_set<std::string> names = files.empty() || fresh ? std::unordered_set<std::string>{}
                                                                   : catalogue.FileNamesIn(parent.id);
    for (const DiskItem& file : files) {
        switch (AddFileEntryOfLength(catalogue, parent.id, file.path, file.length, prompt, &names)) {
        case EditResult::Done: ++report.files; break;
        case EditResult::Failed: report.failed = true; return;
        default: ++report.refused; break;
        }
    }
    for (const DiskItem& sub : folders) {
        Folder* folder = nullptr;
        for (const auto& child : parent.children)
            if (child->name == sub.gbkName) folder = child.get();
        const bool made = !folder;
        if (made) {
            folder = catalogue.InsertFolder(sub.gbkName, -1, parent);
            if (!folder) {
                report.failed = true;
                return;
            }
            ++report.folders;
        }
        Import(catalogue, *folder, sub.path, prompt, report, made);
        if (report.failed) return;
    }
}

}  // namespace

ImportReport ImportDirectoryTree(Catalogue& catalogue, Folder& parent, const std::string& dir, IPrompt& prompt)
{
    ImportReport report;
    Import(catalogue, parent, dir, prompt, report, false);
    return report;
}

}  // namespace tarvex
