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

bool MakeDestination(const std::string& dest)
{
    std::string path;
    for (size_t i = 0; i <= dest.size(); ++i) {
        if (i == dest.size() || (kPathSeparators.find(dest[i]) != std::string_view::npos && i > 0)) {
            path = dest.substr(0, i);
            std::string error;
            if (!MakeFolder(path, error)) {
                PrintErr(Printf("无法创建文件夹%s！\n%s\n", path.c_str(), error.c_str()));
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

Picks PickNamed(PackSession& s, const std::vector<std::string>& paths)
{
    Catalogue& c = s.catalogue;
    Picks picks;
    std::vector<const Folder*> folders;
    std::vector<size_t> files;
    for (const std::string& path : paths) {
        const std::optional<PathTarget> target = FindOneNamed(c, path, s.prompt);
        if (!target) {
            picks.missing = true;
        } else if (target->folder) {
            folders.push_back(target->folder);
        } else {
            files.insert(files.end(), target->files.begin(), target->files.end());
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

}  // namespace

int RunExtract(const CliArgs& args)
{
    const bool named = args.positional.size() > 2;
    const std::optional<std::vector<std::string>> paths = ExpandPathLists(std::span(args.positional).subspan(2));
    if (!paths) return kExitFailure;
    PackSession session;
    const std::string& packPath = args.positional[0];
    std::string dest = args.positional[1];
    while (dest.size() > 1 && dest.back() == '/') dest.pop_back();
    if (!session.Open(packPath, args) || !MakeDestination(dest)) return kExitFailure;
    // Held from here on: nothing goes elsewhere should its path change.
    const std::shared_ptr<const DiskFolder> destFolder = OpenDestination(dest, session.prompt);
    if (!destFolder) return kExitFailure;

    PackExtractor extractor(session.archive, session.prompt);
    if (!extractor.Open()) return kExitFailure;
    Catalogue& catalogue = session.catalogue;
    const auto& entries = catalogue.Entries();
    Picks picks;
    if (named) {
        picks = PickNamed(session, *paths);
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

int RunTest(const CliArgs& args)
{
    PackSession session;
    const std::string& packPath = args.positional[0];
    if (!session.Open(packPath, args)) return kExitFailure;
    PackExtractor extractor(session.archive, session.prompt);
    if (!extractor.Open()) return kExitFailure;

    const auto folderPaths = FolderPathsById(session.catalogue);
    const auto& entries = session.catalogue.Entries();
    size_t failures = 0;
    uint64_t decoded = 0;
    session.prompt.ProgressBegin(static_cast<uint32_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        // A file stored as it is is read in pieces, never held whole.
        const bool ok = extractor.HasStoredBytes(i) && extractor.ForEachPiece(i, [&](std::span<const uint8_t> bytes) {
            decoded += bytes.size();
            session.prompt.ProgressBytes(decoded);
            return true;
        });
        session.prompt.ProgressStep();
        session.prompt.ProgressBytes(decoded);
        if (ok) continue;
        ++failures;
        Print(GbkToUtf8Lossy(EntryPackPath(folderPaths, entries[i])) + "\t失败\n");
    }
    session.prompt.ProgressEnd();

    // A damaged catalogue the reader mended is a failed test too, even when
    // every file decodes.
    const PackRepairs& repairs = session.archive.Repairs();
    for (size_t i : repairs.orphanEntries)
        Print(GbkToUtf8Lossy(EntryPackPath(folderPaths, entries[i])) + "\t原来所在的文件夹不存在\n");
    for (uint16_t id : repairs.repeatedFolderIds)
        Print(GbkToUtf8Lossy(folderPaths.at(id)) + "\\\t在文件夹表中重复出现\n");
    if (failures == 0 && !repairs.Any()) {
        Print(Printf("测试了 %zu 个文件，全部正常。\n", entries.size()));
        return kExitOk;
    }
    if (failures == 0) {
        Print(Printf("测试了 %zu 个文件，全部能够解码，但文件包的目录已经损坏。\n", entries.size()));
    } else {
        Print(Printf("测试了 %zu 个文件，其中 %zu 个失败。\n", entries.size(), failures));
    }
    return kExitFailure;
}

}  // namespace tarvex::epk
