#include <cerrno>
#include <sys/stat.h>

#include "archive/GbkText.h"
#include "archive/Messages.h"
#include "archive/PackPaths.h"
#include "archive/SystemErrorText.h"
#include "schemes/TreeExtraction.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"
#include "tools/epk/PackSession.h"

namespace tarvex::epk {
namespace {

bool MakeDestination(const std::string& dest)
{
    std::string path;
    for (size_t i = 0; i <= dest.size(); ++i) {
        if (i == dest.size() || (dest[i] == '/' && i > 0)) {
            path = dest.substr(0, i);
            if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
                PrintErr(Printf("无法创建文件夹%s！\n%s\n", path.c_str(), SystemErrorText(errno).c_str()));
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
    const auto& entries = session.catalogue.Entries();
    uint64_t bytes = 0;
    session.prompt.ProgressBegin(static_cast<uint32_t>(entries.size()));
    const ExtractionReport report = ExtractFolderTree(extractor, session.catalogue, session.catalogue.Root(), dest,
                                                      session.prompt, [&](size_t index, const std::string&) {
                                                          bytes += entries[index].fileSize;
                                                          session.prompt.ProgressStep();
                                                          session.prompt.ProgressBytes(bytes);
                                                      });
    session.prompt.ProgressEnd();
    return report.failed == 0 ? kExitOk : kExitFailure;
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
