// epk scheme: files, or every file below folders, get a scheme; one that
// the scheme does not make smaller stays unencoded, and is told so.
#include <set>

#include "schemes/SchemeId.h"
#include "talk/Messages.h"
#include "tools/epk/Commands.h"
#include "tools/epk/ListedPaths.h"
#include "tools/epk/PackEdit.h"
#include "tools/epk/PackTargets.h"
#include "tools/epk/PathLists.h"
#include "tools/epk/SchemeArgument.h"

namespace tarvex::epk {
namespace {

// A file given a scheme other than none, and the line that tells it. The
// names are taken before the save, which may number the plug-in table anew.
struct Wish {
    size_t entry;
    std::string from;
    std::string to;
    bool wasUnencoded;
    size_t line;
};

// The line of a wish once the pack is saved: the save stores a file
// unencoded when its scheme does not make it smaller.
std::string SavedLine(const Catalogue& c, const Wish& wish)
{
    const std::string path = ListedPath(c, wish.entry);
    if (c.Entries()[wish.entry].scheme != kSchemeNone) return "编码方案 " + path + "：" + wish.from + " → " + wish.to;
    if (wish.wasUnencoded) return "没有改变 " + path + "：用 " + wish.to + " 编码不能变小，仍不编码保存";
    return "编码方案 " + path + "：" + wish.from + " → " + SchemeName(kSchemeNone, c.Plugins()) + "（用 " + wish.to +
           " 编码不能变小）";
}

}  // namespace

int RunScheme(const CliArgs& args)
{
    const std::optional<std::vector<std::string>> paths =
        ExpandPathLists(std::span(args.positional).subspan(1, args.positional.size() - 2));
    if (!paths) return kExitFailure;
    const std::string schemeName = args.positional.back();
    const bool wildcards = !args.Has("--no-wildcards");
    std::vector<Wish> wishes;
    return EditPack(args, [&](PackSession& s, EditOutcome& out) {
        Catalogue& c = s.catalogue;
        const std::optional<uint8_t> scheme = ParseSchemeArgument(schemeName, c);
        if (!scheme) {
            out.failed = true;
            return;
        }
        std::set<size_t> seen;
        for (const std::string& path : *paths) {
            const std::vector<PathTarget> targets = FindTargets(c, path, wildcards, s.prompt);
            if (targets.empty()) out.refused = true;
            for (const PathTarget& target : targets) {
                for (size_t i : target.folder ? FilesBelow(c, *target.folder) : target.files) {
                    const uint8_t old = c.Entries()[i].scheme;
                    if (old == *scheme || !seen.insert(i).second) continue;
                    const std::string from = SchemeName(old, c.Plugins());
                    const std::string to = SchemeName(*scheme, c.Plugins());
                    const EditResult result = SetEntryScheme(c, i, *scheme, s.prompt);
                    if (result == EditResult::Done && *scheme != kSchemeNone)
                        wishes.push_back({i, from, to, old == kSchemeNone, out.changes.size()});
                    NoteResult(out, result, "编码方案 " + ListedPath(c, i) + "：" + from + " → " + to);
                }
            }
        }
        out.afterSave = [&wishes](const Catalogue& saved, std::vector<std::string>& lines) {
            for (const Wish& wish : wishes) lines[wish.line] = SavedLine(saved, wish);
        };
    });
}

}  // namespace tarvex::epk
