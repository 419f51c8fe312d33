#include <string>
#include <string_view>

#include "base/AppFolder.h"
#include "base/GbkText.h"
#include "catalogue/DirectoryImport.h"
#include "catalogue/Exclusions.h"
#include "platform/FileIo.h"
#include "schemes/SchemeDispatch.h"
#include "schemes/SchemeId.h"
#include "schemes/SizeText.h"
#include "talk/Messages.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"
#include "tools/epk/PackSession.h"
#include "tools/epk/SchemeArgument.h"
#include "tools/epk/StandardStreams.h"

namespace tarvex::epk {
namespace {

// Leaves the pack being written out of its own contents when it lies inside
// the folder being packed. Only files of the pack's own name are looked at:
// a rebuild over an old pack must not cost a look-up of every file.
void DropFileItself(Catalogue& catalogue, const std::string& packPath)
{
    const std::string_view packName = NameOfPath(packPath);
    auto& entries = catalogue.Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (NameOfPath(entries[i].sourcePath) == packName && IsSameFile(entries[i].sourcePath, packPath)) {
            catalogue.RemoveEntry(i);
            return;
        }
    }
}

}  // namespace

int RunCreate(const CliArgs& args)
{
    const std::string& packPath = args.positional[0];
    const std::string& dir = args.positional[1];
    const bool streams = packPath == kStandardStream;
    if (streams && StandardOutputIsTerminal()) {
        PrintErr("不把文件包写到终端上：请把标准输出重定向到文件或管道。");
        return kExitFailure;
    }
    if (!IsFolderOrSay(dir)) return kExitFailure;

    PackSession session;
    Catalogue& catalogue = session.catalogue;
    // The catalogue starts afresh before a module can take a plug-in slot.
    catalogue.Reset(Utf8ToGbkLossy(GetPackTitle(packPath)));
    const std::string schemeName = args.Value("--scheme").value_or("none");
    const std::optional<uint8_t> scheme = ParseSchemeArgument(schemeName, catalogue);
    if (!scheme) return NamesModule(schemeName) ? kExitFailure : kExitUsage;
    if (!session.UsePasswordOption(args, PasswordMode::Set)) return kExitFailure;
    const Exclusions exclusions(args.Values("--exclude"));
    const ImportReport report =
        ImportDirectoryTree(catalogue, catalogue.Root(), dir, session.prompt, exclusions.Filter());
    if (report.failed || report.refused > 0) {
        PrintErr("没有创建文件包：有文件无法加入文件包（见上面的说明）。\n");
        return kExitFailure;
    }
    // A pack written to standard output that lands in a file of the folder
    // is left out as a pack file of its own would be.
    DropFileItself(catalogue, streams ? FileOnStandardOutput() : packPath);
    for (FileEntry& entry : catalogue.Entries())
        if (entry.fileSize > 0) entry.scheme = *scheme;

    const std::optional<PasswordBlocks> blocks = session.prompt.AskPassword(PasswordMode::Set);
    SchemeDispatch dispatch(catalogue, session.prompt);
    StoreOptions options;
    options.fallbackToNone = true;
    options.lockWait = SaveWait(packPath, args);
    options.toStandardOutput = streams;
    if (!session.archive.Store(streams ? "标准输出" : packPath, MakeKeySchedule(blocks.value_or(PasswordBlocks{})), dispatch,
                               session.prompt, options))
        return kExitFailure;

    uint64_t plain = 0;
    uint64_t stored = 0;
    for (const PackRecord& r : catalogue.Records()) {
        plain += r.fileSize;
        stored += r.storedSize;
    }
    // Standard output holds the pack itself: the summary is a message then.
    const std::string made = streams ? std::string("已把文件包写到标准输出") : "已创建 " + packPath;
    const std::string summary = Printf("%s：%zu 个文件，%zu 个文件夹，%llu 字节存为 %llu 字节。\n", made.c_str(),
                                       catalogue.Entries().size(), catalogue.FolderCount(),
                                       static_cast<unsigned long long>(plain), static_cast<unsigned long long>(stored));
    streams ? PrintErr(summary) : static_cast<void>(Print(summary));
    if (report.skipped > 0) {
        PrintErr(Printf("有%zu个项目不是普通文件或文件夹，没有加入文件包（见上面的说明）。\n", report.skipped));
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace tarvex::epk
