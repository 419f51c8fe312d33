// epk diff: which files and folders two packs do not share, and which files
// differ in their decoded bytes.
#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "schemes/Extraction.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"
#include "tools/epk/Json.h"
#include "tools/epk/ListedPaths.h"
#include "tools/epk/PackSession.h"

namespace tarvex::epk {
namespace {

constexpr int kExitTrouble = 2;

struct PackView {
    std::map<std::string, size_t> files;  // pack path (UTF-8) -> entry index
    std::set<std::string> folders;
};

// Paths with '/' between folders, as they stand; a folder's ends in '/'.
PackView ViewOf(const Catalogue& catalogue)
{
    PackView view;
    std::vector<const Folder*> pending{&catalogue.Root()};
    while (!pending.empty()) {
        const Folder* folder = pending.back();
        pending.pop_back();
        if (folder->parent) view.folders.insert(ListedPath(*folder, kJsonPath) + "/");
        for (const auto& child : folder->children) pending.push_back(child.get());
    }
    const ListedPaths paths(catalogue, kJsonPath);
    for (size_t i = 0; i < catalogue.Entries().size(); ++i) view.files.emplace(paths.Of(catalogue.Entries()[i]), i);
    return view;
}

struct Differences {
    std::vector<std::string> onlyA, onlyB, different, notCompared;
};

std::string DifferencesText(const Differences& d)
{
    std::string out;
    const auto lines = [&out](const char* label, const std::vector<std::string>& paths) {
        for (const std::string& path : paths) {
            const size_t from = out.size() + std::string_view(label).size();
            out += label + path;
            EscapeFrom(out, from);
            out += '\n';
        }
    };
    lines("只在 A 中：", d.onlyA);
    lines("只在 B 中：", d.onlyB);
    lines("无法比较：", d.notCompared);
    lines("内容不同：", d.different);
    return out;
}

std::string DifferencesJson(const CliArgs& args, const Differences& d)
{
    JsonWriter json;
    json.BeginObject().Number("format", kJsonFormat).Field("a", args.positional[0]).Field("b", args.positional[1]);
    const auto list = [&json](const char* key, const std::vector<std::string>& paths) {
        json.BeginArray(key);
        for (const std::string& path : paths) json.Value(path);
        json.EndArray();
    };
    list("only_in_a", d.onlyA);
    list("only_in_b", d.onlyB);
    list("different", d.different);
    list("not_compared", d.notCompared);
    json.Flag("same", d.onlyA.empty() && d.onlyB.empty() && d.different.empty() && d.notCompared.empty());
    return json.EndObject().Text();
}

// Whether two files of the same size have the same bytes; nothing when one
// cannot be read (reported). Files stored as they are are compared piece by
// piece, never held whole.
std::optional<bool> SameContents(PackExtractor& a, size_t ia, PackExtractor& b, size_t ib)
{
    if (!a.StoredAsIs(ia) && b.StoredAsIs(ib)) return SameContents(b, ib, a, ia);
    ByteBuffer whole;  // b's bytes, when b is coded
    if (!b.StoredAsIs(ib) && !b.Decode(ib, whole)) return std::nullopt;
    ByteBuffer piece;
    uint64_t at = 0;
    bool same = true;
    bool readFailed = false;
    const bool read = a.ForEachPiece(ia, [&](std::span<const uint8_t> bytes) {
        std::span<const uint8_t> other;
        if (b.StoredAsIs(ib)) {
            if (piece.size() < bytes.size()) piece = ByteBuffer::Allocate(bytes.size()).value_or(ByteBuffer());
            if (piece.size() < bytes.size() || !b.ReadAsIs(ib, at, piece.span().first(bytes.size()))) {
                readFailed = true;
                return false;
            }
            other = piece.span().first(bytes.size());
        } else {
            other = whole.span().subspan(at, bytes.size());
        }
        same = std::equal(bytes.begin(), bytes.end(), other.begin());
        at += bytes.size();
        return same;
    });
    if (!read && (same || readFailed)) return std::nullopt;
    return same;
}

}  // namespace

int RunDiff(const CliArgs& args)
{
    PackSession a;
    PackSession b;
    CliArgs argsB = args;
    const std::optional<std::string> fileB = args.Value("--password-file-b");
    if (fileB) argsB.values["--password-file"] = *fileB;
    if (!a.Open(args.positional[0], args)) return kExitTrouble;
    // One password file for both packs is read once: a pipe or a terminal
    // gives its password only once.
    if (!fileB && args.Value("--password-file")) {
        argsB.values.erase("--password-file");
        if (a.prompt.Password()) b.prompt.SetPassword(*a.prompt.Password());
    }
    if (!b.Open(args.positional[1], argsB)) return kExitTrouble;
    PackExtractor readA(a.archive, a.prompt);
    PackExtractor readB(b.archive, b.prompt);
    if (!readA.Open() || !readB.Open()) return kExitTrouble;

    const PackView viewA = ViewOf(a.catalogue);
    const PackView viewB = ViewOf(b.catalogue);
    Differences d;
    const auto only = [](std::vector<std::string>& out, const std::set<std::string>& here,
                         const std::set<std::string>& there) {
        for (const std::string& path : here)
            if (!there.count(path)) out.push_back(path);
    };
    std::set<std::string> filesA, filesB;
    for (const auto& [path, i] : viewA.files) filesA.insert(path);
    for (const auto& [path, i] : viewB.files) filesB.insert(path);
    only(d.onlyA, viewA.folders, viewB.folders);
    only(d.onlyA, filesA, filesB);
    only(d.onlyB, viewB.folders, viewA.folders);
    only(d.onlyB, filesB, filesA);

    for (const auto& [path, indexA] : viewA.files) {
        const auto other = viewB.files.find(path);
        if (other == viewB.files.end()) continue;
        const uint32_t sizeA = a.catalogue.Entries()[indexA].fileSize;
        const uint32_t sizeB = b.catalogue.Entries()[other->second].fileSize;
        if (sizeA != sizeB) {
            d.different.push_back(path);
            continue;
        }
        const std::optional<bool> same = SameContents(readA, indexA, readB, other->second);
        if (!same) d.notCompared.push_back(path);
        if (same == false) d.different.push_back(path);
    }
    Print(args.Has("--json") ? DifferencesJson(args, d) : DifferencesText(d));
    if (!d.notCompared.empty()) return kExitTrouble;
    return d.onlyA.empty() && d.onlyB.empty() && d.different.empty() ? kExitOk : kExitFailure;
}

}  // namespace tarvex::epk
