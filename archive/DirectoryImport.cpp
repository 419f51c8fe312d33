#include "archive/DirectoryImport.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unordered_set>
#include <vector>

#include "archive/FileIo.h"
#include "archive/Messages.h"
#include "archive/ParallelFor.h"
#include "archive/SystemErrorText.h"

namespace tarvex {
namespace {

constexpr const char* kSkippedSpecial = "已跳过%s：它不是普通文件或文件夹。";
constexpr const char* kCannotReadDir = "无法读取文件夹%s！\n%s";

struct DiskItem {
    std::string gbkName;
    std::string path;
    uint64_t length;
};

// What a look at one name of a folder found.
struct Look {
    bool found = false;
    bool isFile = false;
    bool isDir = false;
    uint64_t length = 0;
};

Look LookAt(int folderFd, const char* name)
{
    Look look;
    struct stat st {};
    // Looked up inside the open folder, not along the whole path again.
    if (::fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return look;
    look.found = true;
    const bool isLink = S_ISLNK(st.st_mode);
    if (isLink && ::fstatat(folderFd, name, &st, 0) != 0) st.st_mode = 0;
    look.isFile = S_ISREG(st.st_mode);
    look.isDir = S_ISDIR(st.st_mode) && !isLink;
    look.length = static_cast<uint64_t>(st.st_size);
    return look;
}

// fresh: the folder was made by this import, so it holds no files yet.
// relative: the folder's path below the imported directory, with a trailing
// '/' unless it is that directory.
void Import(Catalogue& catalogue, Folder& parent, const std::string& dir, IPrompt& prompt, ImportReport& report,
            bool fresh, ParallelFor& lookers, const ImportFilter& leaveOut, const std::string& relative)
{
    DIR* handle = ::opendir(dir.c_str());
    if (!handle) {
        prompt.Tell(Printf(kCannotReadDir, dir.c_str(), SystemErrorText(errno).c_str()), MsgIcon::Error);
        report.failed = true;
        return;
    }
    std::vector<std::string> diskNames;
    while (const dirent* item = ::readdir(handle)) {
        if (std::strcmp(item->d_name, ".") == 0 || std::strcmp(item->d_name, "..") == 0) continue;
        if (leaveOut && leaveOut(relative + item->d_name)) continue;
        diskNames.emplace_back(item->d_name);
    }
    // The names are looked at on all cores: one status call each is most of
    // what an import of many small files costs. Each thread holds the folder
    // by a descriptor of its own: threads sharing one would contend for it
    // on every call.
    std::vector<Look> looks(diskNames.size());
    std::vector<File> held(lookers.Participants());
    lookers.Run(diskNames.size(), [&](size_t i, size_t participant) {
        int folderFd = ::dirfd(handle);
        if (participant > 0) {
            File& own = held[participant];
            if (!own.IsOpen()) own.OpenFolder(dir);
            folderFd = own.IsOpen() ? own.Fd() : folderFd;
        }
        looks[i] = LookAt(folderFd, diskNames[i].c_str());
    });
    ::closedir(handle);

    std::vector<DiskItem> files;
    std::vector<DiskItem> folders;
    for (size_t i = 0; i < diskNames.size(); ++i) {
        const Look& look = looks[i];
        if (!look.found) continue;
        const std::string path = dir + "/" + diskNames[i];
        if (!look.isFile && !look.isDir) {
            prompt.Tell(Printf(kSkippedSpecial, path.c_str()), MsgIcon::Warning);
            ++report.skipped;
            continue;
        }
        std::optional<std::string> gbk = StorableName(diskNames[i], prompt);
        if (!gbk) {
            ++report.refused;
            continue;
        }
        (look.isFile ? files : folders).push_back({std::move(*gbk), path, look.length});
    }

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
        Import(catalogue, *folder, sub.path, prompt, report, made, lookers, leaveOut,
               leaveOut ? relative + sub.path.substr(dir.size() + 1) + "/" : std::string());
        if (report.failed) return;
    }
}

}  // namespace

ImportReport ImportDirectoryTree(Catalogue& catalogue, Folder& parent, const std::string& dir, IPrompt& prompt)
{
    return ImportDirectoryTree(catalogue, parent, dir, prompt, {});
}

ImportReport ImportDirectoryTree(Catalogue& catalogue, Folder& parent, const std::string& dir, IPrompt& prompt,
                                 const ImportFilter& leaveOut)
{
    ImportReport report;
    ParallelFor lookers(std::max(1u, std::thread::hardware_concurrency()) - 1);
    Import(catalogue, parent, dir, prompt, report, false, lookers, leaveOut, std::string());
    return report;
}

}  // namespace tarvex
