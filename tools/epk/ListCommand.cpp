#include <array>
#include <charconv>
#include <unordered_map>

#include "base/GbkText.h"
#include "catalogue/PackPaths.h"
#include "schemes/SchemeId.h"
#include "talk/Messages.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"
#include "tools/epk/Json.h"
#include "tools/epk/PackSession.h"

namespace tarvex::epk {
namespace {

std::string ListJson(const Catalogue& catalogue)
{
    const auto folderPaths = FolderPathsById(catalogue);
    JsonWriter json;
    json.BeginObject().BeginArray("files");
    for (const FileEntry& entry : catalogue.Entries()) {
        json.BeginObject()
            .Field("path", GbkToUtf8Lossy(EntryPackPath(folderPaths, entry)))
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
    std::vector<const Folder*> folders;
    while (!pending.empty()) {
        const Folder* folder = pending.back();
        pending.pop_back();
        if (folder->parent) folders.push_back(folder);
        for (auto it = folder->children.rbegin(); it != folder->children.rend(); ++it) pending.push_back(it->get());
    }
    for (const Folder* folder : folders) {
        json.BeginObject()
            .Field("path", GbkToUtf8Lossy(PackPathOf(*folder)))
            .Number("id", folder->id)
            .EndObject();
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

}  // namespace

int RunList(const CliArgs& args)
{
    PackSession session;
    if (!session.Open(args.positional[0], args)) return kExitFailure;
    const Catalogue& catalogue = session.catalogue;
    if (args.Has("--json")) {
        Print(ListJson(catalogue));
        return kExitOk;
    }
    // Each folder's path and each scheme's name are made once, not per file.
    std::unordered_map<uint32_t, std::string> prefixes;
    for (const auto& [id, path] : FolderPathsById(catalogue))
        prefixes.emplace(id, path.empty() ? std::string() : GbkToUtf8Lossy(path) + "\\");
    std::array<std::string, 256> schemeNames;
    std::string out;
    for (const FileEntry& entry : catalogue.Entries()) {
        out += prefixes[entry.folderId];
        AppendGbkAsUtf8Lossy(out, entry.name);
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
    return kExitOk;
}

}  // namespace tarvex::epk
