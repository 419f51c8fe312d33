#include <array>
#include <charconv>
#include <set>

#include "base/GbkText.h"
#include "schemes/SchemeId.h"
#include "talk/Messages.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"
#include "tools/epk/Json.h"
#include "tools/epk/ListedPaths.h"
#include "tools/epk/PackSession.h"
#include "tools/epk/PackTargets.h"
#include "tools/epk/PathLists.h"

namespace tarvex::epk {
namespace {

std::string ListJson(const Catalogue& catalogue, const std::vector<size_t>& files)
{
    const ListedPaths paths(catalogue, kJsonPath);
    JsonWriter json;
    json.BeginObject().Number("format", kJsonFormat).BeginArray("files");
    for (size_t i : files) {
        const FileEntry& entry = catalogue.Entries()[i];
        json.BeginObject()
            .Field("path", paths.Of(entry))
            .Field("name", GbkToUtf8Lossy(entry.name))
            .Number("folder_id", entry.folderId)
            .Number("size", entry.fileSize)
            .Number("stored_size", entry.storedEncodedSize)
            .Number("scheme", entry.scheme)
            .Field("scheme_name", SchemeName(entry.scheme, catalogue.Plugins()))
            .EndObject();
    }
    json.EndArray().BeginArray("folders");
    std::vector<const Folder*> pending{&catalogue.Root()};
    while (!pending.empty()) {
        const Folder* folder = pending.back();
        pending.pop_back();
        if (folder->parent) json.BeginObject().Field("path", ListedPath(*folder, kJsonPath)).Number("id", folder->id).EndObject();
        for (auto it = folder->children.rbegin(); it != folder->children.rend(); ++it) pending.push_back(it->get());
    }
    json.EndArray().EndObject();
    return json.Text();
}

// A tab and the number.
void AppendField(std::string& out, uint32_t value)
{
    char digits[12];
    digits[0] = '\t';
    const auto end = std::to_chars(digits + 1, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

// The entries the named paths pick, in entry order; every entry without
// paths. Empty, with `missing` set, for paths that name nothing (reported).
std::vector<size_t> PickedFiles(PackSession& session, const std::vector<std::string>& paths, bool wildcards,
                                bool& missing)
{
    Catalogue& catalogue = session.catalogue;
    std::vector<size_t> files(catalogue.Entries().size());
    for (size_t i = 0; i < files.size(); ++i) files[i] = i;
    if (paths.empty()) return files;
    std::set<size_t> picked;
    for (const std::string& path : paths) {
        const std::vector<PathTarget> targets = FindTargets(catalogue, path, wildcards, session.prompt, true);
        missing = missing || targets.empty();
        for (const PathTarget& target : targets) {
            if (target.folder && target.files.empty()) {
                for (size_t i : FilesBelow(catalogue, *target.folder)) picked.insert(i);
            } else {
                picked.insert(target.files.begin(), target.files.end());
            }
        }
    }
    return {picked.begin(), picked.end()};
}

}  // namespace

int RunList(const CliArgs& args)
{
    const std::optional<std::vector<std::string>> paths = ExpandPathLists(std::span(args.positional).subspan(1));
    if (!paths) return kExitFailure;
    PackSession session;
    if (!session.Open(args.positional[0], args)) return kExitFailure;
    const Catalogue& catalogue = session.catalogue;
    bool missing = false;
    const std::vector<size_t> files = PickedFiles(session, *paths, !args.Has("--no-wildcards"), missing);
    const int status = missing ? kExitFailure : kExitOk;
    if (args.Has("--json")) {
        Print(ListJson(catalogue, files));
        return status;
    }
    const ListedPaths listed(catalogue, {args.Has("--backslash") ? '\\' : '/', true});
    // Each scheme's name is made once, not per file.
    std::array<std::string, 256> schemeNames;
    std::string out;
    for (size_t i : files) {
        const FileEntry& entry = catalogue.Entries()[i];
        listed.Append(out, entry);
        AppendField(out, entry.fileSize);
        AppendField(out, entry.storedEncodedSize);
        std::string& scheme = schemeNames[entry.scheme];
        if (scheme.empty()) scheme = SchemeName(entry.scheme, catalogue.Plugins());
        out += '\t';
        out += scheme;
        out += '\n';
        if (out.size() > 1 << 16) {
            Print(out);
            out.clear();
        }
    }
    Print(out);
    return status;
}

}  // namespace tarvex::epk
