#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/stat.h>
#include <unordered_map>

#include "archive/GbkText.h"
#include "archive/Messages.h"
#include "archive/PackPaths.h"
#include "schemes/Extraction.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"
#include "tools/epk/PackSession.h"

namespace tarvex::epk {
namespace {

// Makes a folder that must be a real directory afterwards: a symbolic link
// or a file in its place would lead writes outside the destination.
bool MakeRealDirectory(const std::string& path)
{
    if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
        PrintErr(Printf("无法创建文件夹%s！\n%s\n", path.c_str(), std::strerror(errno)));
        return false;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        PrintErr(Printf("%s已经存在，但不是文件夹，无法在其中解压缩。\n", path.c_str()));
        return false;
    }
    return true;
}

bool MakeDestination(const std::string& dest)
{
    std::string path;
    for (size_t i = 0; i <= dest.size(); ++i) {
        if (i == dest.size() || (dest[i] == '/' && i > 0)) {
            path = dest.substr(0, i);
            if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
                PrintErr(Printf("无法创建文件夹%s！\n%s\n", path.c_str(), std::strerror(errno)));
                return false;
            }
        }
    }
    struct stat st {};
    if (::stat(dest.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        PrintErr(dest + "不是一个文件夹。\n");
        return false;
    }
    return true;
}

// The disk folder of every pack folder whose name can be written safely;
// folders below an unsafe name are left out with it.
std::unordered_map<uint32_t, std::string> MakeFolders(const Catalogue& catalogue, const std::string& dest,
                                                     IPrompt& prompt, bool& failed)
{
    std::unordered_map<uint32_t, std::string> diskPaths{{0, dest}};
    std::vector<std::pair<const Folder*, std::string>> pending{{&catalogue.Root(), dest}};
    while (!pending.empty()) {
        auto [folder, path] = std::move(pending.back());
        pending.pop_back();
        for (const auto& child : folder->children) {
            std::string name;
            if (!IsSafeDiskName(child->name, name) || name.size() > NAME_MAX) {
                prompt.Tell(Printf(msg::kUnsafeName, GbkToUtf8Lossy(child->name).c_str()), MsgIcon::Warning);
                failed = true;
                continue;
            }
            std::string childPath = path + "/" + name;
            if (!MakeRealDirectory(childPath)) {
                failed = true;
                continue;
            }
            diskPaths.emplace(child->id, childPath);
            pending.emplace_back(child.get(), std::move(childPath));
        }
    }
    return diskPaths;
}

}  // namespace

int RunExtract(const CliArgs& args)
{
    PackSession session;
    const std::string& packPath = args.positional[0];
    std::string dest = args.positional[1];
    while (dest.size() > 1 && dest.back() == '/') dest.pop_back();
    if (!session.Open(packPath, args) || !MakeDestination(dest)) return kExitFailure;

    PackExtractor extractor(session.archive, session.prompt);
    if (!extractor.Open(packPath)) return kExitFailure;
    bool failed = false;
    const auto diskFolders = MakeFolders(session.catalogue, dest, session.prompt, failed);
    const auto& entries = session.catalogue.Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto folder = diskFolders.find(entries[i].folderId);
        if (folder == diskFolders.end()) continue;  // its folder was refused and reported
        std::string name;
        if (!IsSafeDiskName(entries[i].name, name)) {
            session.prompt.Tell(Printf(msg::kUnsafeName, GbkToUtf8Lossy(entries[i].name).c_str()),
                                MsgIcon::Warning);
            failed = true;
            continue;
        }
        if (name.size() > NAME_MAX) {
            session.prompt.Tell(Printf(msg::kNameTooLongForDisk, name.c_str()), MsgIcon::Warning);
            failed = true;
            continue;
        }
        if (!extractor.ExtractTo(i, folder->second + "/" + name)) failed = true;
    }
    return failed ? kExitFailure : kExitOk;
}

int RunTest(const CliArgs& args)
{
    PackSession session;
    const std::string& packPath = args.positional[0];
    if (!session.Open(packPath, args)) return kExitFailure;
    PackExtractor extractor(session.archive, session.prompt);
    if (!extractor.Open(packPath)) return kExitFailure;

    const auto folderPaths = FolderPathsById(session.catalogue);
    const auto& entries = session.catalogue.Entries();
    size_t failures = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        ByteBuffer bytes;
        if (extractor.Decode(i, bytes)) continue;
        ++failures;
        Print(GbkToUtf8Lossy(EntryPackPath(folderPaths, entries[i])) + "\t失败\n");
    }
    if (failures == 0) {
        Print(Printf("测试了 %zu 个文件，全部正常。\n", entries.size()));
        return kExitOk;
    }
    Print(Printf("测试了 %zu 个文件，其中 %zu 个失败。\n", entries.size(), failures));
    return kExitFailure;
}

}  // namespace tarvex::epk
