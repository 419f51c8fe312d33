#include "archive/GbkText.h"
#include "archive/Messages.h"
#include "archive/PackPaths.h"
#include "schemes/SchemeId.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"
#include "tools/epk/PackSession.h"

namespace tarvex::epk {

int RunList(const CliArgs& args)
{
    PackSession session;
    if (!session.Open(args.positional[0], args)) return kExitFailure;
    const Catalogue& catalogue = session.catalogue;
    const auto folderPaths = FolderPathsById(catalogue);
    std::string out;
    for (const FileEntry& entry : catalogue.Entries()) {
        out += GbkToUtf8Lossy(EntryPackPath(folderPaths, entry));
        out += Printf("\t%u\t%u\t", entry.fileSize, entry.storedEncodedSize);
        out += SchemeName(entry.scheme, catalogue.Plugins());
        out += '\n';
        if (out.size() > 1 << 16) {
            Print(out);
            out.clear();
        }
    }
    Print(out);
    return kExitOk;
}

}  // namespace tarvex::epk
