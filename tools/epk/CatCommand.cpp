// epk cat: the decoded bytes of files of a pack on standard output, for
// pipelines; every message goes to standard error.
#include "schemes/Extraction.h"
#include "talk/Messages.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"
#include "tools/epk/PackSession.h"
#include "tools/epk/PackTargets.h"
#include "tools/epk/PathLists.h"

namespace tarvex::epk {
namespace {

constexpr const char* kIsAFolder = "“%s”是文件夹，不是文件。";

}  // namespace

int RunCat(const CliArgs& args)
{
    const std::optional<std::vector<std::string>> paths = ExpandPathLists(std::span(args.positional).subspan(1));
    if (!paths) return kExitFailure;
    PackSession session;
    const std::string& packPath = args.positional[0];
    if (!session.Open(packPath, args)) return kExitFailure;
    PackExtractor extractor(session.archive, session.prompt);
    if (!extractor.Open()) return kExitFailure;

    bool trouble = false;
    const bool wildcards = !args.Has("--no-wildcards");
    for (const std::string& path : *paths) {
        const std::vector<PathTarget> targets = FindTargets(session.catalogue, path, wildcards, session.prompt, true);
        trouble = trouble || targets.empty();
        // A pattern picks the files it matches, in the pack's order; a plain
        // path that names a folder is told.
        const bool pattern = IsPattern(path, wildcards);
        for (const PathTarget& target : targets) {
            if (target.files.empty()) {
                if (pattern) continue;
                session.prompt.Tell(Printf(kIsAFolder, path.c_str()), MsgIcon::Error);
                trouble = true;
                continue;
            }
            // Of several files of one path (only a damaged pack has them) the
            // first is the one the pack's lookups find.
            bool output = true;
            const bool printed = extractor.ForEachPiece(target.files.front(), [&](std::span<const uint8_t> bytes) {
                output = Print({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
                return output;
            });
            if (!output) return kExitFailure;  // reported by Print
            trouble = trouble || !printed;
        }
    }
    return trouble ? kExitFailure : kExitOk;
}

}  // namespace tarvex::epk
