#include <algorithm>
#include <set>

#include "base/AppFolder.h"
#include "base/GbkText.h"
#include "base/SystemErrorText.h"
#include "catalogue/PackPaths.h"
#include "platform/DiskPaths.h"
#include "schemes/TreeExtraction.h"
#include "talk/Messages.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"
#include "tools/epk/PackSession.h"
#include "tools/epk/PackTargets.h"
#include "tools/epk/PathLists.h"

namespace tarvex::epk {
namespace {

constexpr const char* kPathNotDestination =
    "“%s”是文件包里的路径，不是目标文件夹：请用 -C 目标文件夹 给出目标文件夹（当前文件夹是 -C .）。\n"
    "用“epk extract --help”查看用法。";

bool MakeDestination(const std::string& dest)
{
    std::string path;
    for (size_t i = 0; i <= dest.size(); ++i) {
        if (i == dest.size() || (kPathSeparators.find(dest[i]) != std::string_view::npos && i > 0)) {
            path = dest.substr(0, i);
            std::string error;
            if (!MakeFolder(path, error)) {
                PrintErr(Printf("无法创建文件夹“%s”！\n%s\n", path.c_str(), error.c_str()));
                return false;
            }
        }
    }
    return IsFolderOrSay(dest);
}

// What the named paths pick: folders with everything below them, then single
// files, each in the order named and once (a folder or file inside a picked
// folder goes out with that folder).
struct Picks {
    std::vector<const Folder*> folders;
    std::vector<size_t> files;
    size_t fileCount = 0;
    bool missing = false;  // a path named nothing (reported)
};

Picks PickNamed(PackSession& s, const std::vector<std::string>& paths, bool wildcards)
{
    Catalogue& c = s.catalogue;
    Picks picks;
    std::vector<const Folder*> folders;
    std::vector<size_t> files;
    for (const std::string& path : paths) {
        const std::vector<PathTarget> targets = FindTargets(c, path, wildcards, s.prompt);
        if (targets.empty()) picks.missing = true;
        for (const PathTarget& target : targets) {
            if (target.folder) {
                folders.push_back(target.folder);
            } else {
                files.insert(files.end(), target.files.begin(), target.files.end());
            }
        }
    }
    const auto inPicked = [&](const Folder& folder, const Folder* self) {
        return std::any_of(folders.begin(), folders.end(), [&](const Folder* picked) {
            return picked != self && c.IsSameOrBelow(folder, *picked);
        });
    };
    std::set<const Folder*> seenFolders;
    for (const Folder* folder : folders) {
        if (inPicked(*folder, folder) || !seenFolders.insert(folder).second) continue;
        picks.folders.push_back(folder);
        picks.fileCount += FilesBelow(c, *folder).size();
    }
    std::set<size_t> seenFiles;
    for (size_t index : files) {
        const Folder* folder = c.FolderById(c.Entries()[index].folderId);
        if ((folder && inPicked(*folder, nullptr)) || !seenFiles.insert(index).second) continue;
        picks.files.push_back(index);
        ++picks.fileCount;
    }
    return picks;
}

// Where extract writes, and what it picks: the destination is -C's folder,
// else the argument after the pack, else the current folder.
struct Destination {
    std::string folder;
    std::span<const std::string> paths;
};

Destination DestinationOf(const CliArgs& args)
{
    const std::span<const std::string> rest = std::span(args.positional).subspan(1);
    if (const std::optional<std::string> given = args.Value("-C")) return {*given, rest};
    if (rest.empty()) return {".", rest};
    return {rest.front(), rest.subspan(1)};
}

// A destination given after the pack that rather names what is in it (a
// pattern, or a path the pack holds and no folder on disk has): tar's,
// 7z's and unzip's users write the paths to extract there. Refused, so that
// everything does not go into a folder of that name.
bool NamesInsteadOfDestination(const CliArgs& args, PackSession& session, const std::string& dest)
{
    if (args.Value("-C") || args.positional.size() < 2) return false;
    if (!IsPattern(dest, !args.Has("--no-wildcards"))) {
        const std::optional<PathTarget> inPack = FindPackPath(session.catalogue, dest);
        PathStatus st;
        std::string error;
        const bool onDisk = LookAtPath(dest, st, error) == PathState::Found && st.kind == FileKind::Folder;
        if (!inPack || !inPack->Found() || onDisk) return false;
    }
    PrintErr(Printf(kPathNotDestination, dest.c_str()));
    return true;
}

ExistingFiles ExistingFilesOption(const CliArgs& args)
{
    if (args.Has("--keep-old-files")) return ExistingFiles::Keep;
    if (args.Has("--skip-old-files")) return ExistingFiles::Skip;
    return ExistingFiles::Replace;
}

}  // namespace

int RunExtract(const CliArgs& args)
{
    if (args.Has("--keep-old-files") && args.Has("--skip-old-files")) {
        PrintErr("--keep-old-files 和 --skip-old-files 只能给出一个。\n用“epk extract --help”查看用法。");
        return kExitUsage;
    }
    Destination dest = DestinationOf(args);
    const bool named = !dest.paths.empty();
    const std::optional<std::vector<std::string>> paths = ExpandPathLists(dest.paths);
    if (!paths) return kExitFailure;
    PackSession session;
    const std::string& packPath = args.positional[0];
    if (!session.Open(packPath, args)) return kExitFailure;
    if (NamesInsteadOfDestination(args, session, dest.folder)) return kExitUsage;
    while (dest.folder.size() > 1 && dest.folder.back() == '/') dest.folder.pop_back();
    if (!MakeDestination(dest.folder)) return kExitFailure;
    // Held from here on: nothing goes elsewhere should its path change.
    const std::shared_ptr<const DiskFolder> destFolder = OpenDestination(dest.folder, session.prompt);
    if (!destFolder) return kExitFailure;

    PackExtractor extractor(session.archive, session.prompt);
    if (!extractor.Open()) return kExitFailure;
    extractor.SetExistingFiles(ExistingFilesOption(args));
    Catalogue& catalogue = session.catalogue;
    const auto& entries = catalogue.Entries();
    Picks picks;
    if (named) {
        picks = PickNamed(session, *paths, !args.Has("--no-wildcards"));
    } else {
        picks.folders.push_back(&catalogue.Root());
        picks.fileCount = entries.size();
    }

    uint64_t bytes = 0;
    const auto step = [&](size_t index) {
        bytes += entries[index].fileSize;
        session.prompt.ProgressStep();
        session.prompt.ProgressBytes(bytes);
    };
    size_t failed = 0;
    session.prompt.ProgressBegin(static_cast<uint32_t>(picks.fileCount));
    for (const Folder* folder : picks.folders) {
        // A folder goes in below the disk folders of its parents; the root's
        // contents go straight into the destination.
        const std::shared_ptr<const DiskFolder> place =
            folder->parent ? MakeFolderPlace(catalogue, *folder->parent, destFolder, session.prompt) : destFolder;
        if (!place) {
            ++failed;
            continue;
        }
        failed += ExtractFolderTree(extractor, catalogue, *folder, place, session.prompt,
                                    [&](size_t index, const std::string&) { step(index); })
                      .failed;
    }
    for (size_t index : picks.files) {
        step(index);
        const Folder* folder = catalogue.FolderById(entries[index].folderId);
        const std::shared_ptr<const DiskFolder> place =
            folder ? MakeFolderPlace(catalogue, *folder, destFolder, session.prompt) : nullptr;
        if (!place || !ExtractEntryInto(extractor, catalogue, index, *place, session.prompt)) ++failed;
    }
    session.prompt.ProgressEnd();
    return failed == 0 && !picks.missing ? kExitOk : kExitFailure;
}

}  // namespace tarvex::epk
