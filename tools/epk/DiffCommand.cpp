// epk diff: which files and folders two packs do not share, and which files
// differ in their decoded bytes.
#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "base/GbkText.h"
#include "catalogue/PackPaths.h"
#include "schemes/Extraction.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"
#include "tools/epk/PackSession.h"

namespace tarvex::epk {
namespace {

constexpr int kExitTrouble = 2;

struct PackView {
    std::map<std::string, size_t> files;  // pack path (UTF-8) -> entry index
    std::set<std::string> folders;
};

PackView ViewOf(const Catalogue& catalogue)
{
    PackView view;
    const auto paths = FolderPathsById(catalogue);
    for (const auto& [id, path] : paths)
        if (id != 0) view.folders.insert(GbkToUtf8Lossy(path) + "\\");
    for (size_t i = 0; i < catalogue.Entries().size(); ++i)
        view.files.emplace(GbkToUtf8Lossy(EntryPackPath(paths, catalogue.Entries()[i])), i);
    return view;
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
    std::string out;
    bool differ = false;
    bool trouble = false;
    const auto only = [&](const std::string& label, const std::set<std::string>& here, const std::set<std::string>& there) {
        for (const std::string& path : here) {
            if (there.count(path)) continue;
            out += label + path + "\n";
            differ = true;
        }
    };
    std::set<std::string> filesA, filesB;
    for (const auto& [path, i] : viewA.files) filesA.insert(path);
    for (const auto& [path, i] : viewB.files) filesB.insert(path);
    only("只在 A 中：", viewA.folders, viewB.folders);
    only("只在 B 中：", viewB.folders, viewA.folders);
    only("只在 A 中：", filesA, filesB);
    only("只在 B 中：", filesB, filesA);

    for (const auto& [path, indexA] : viewA.files) {
        const auto other = viewB.files.find(path);
        if (other == viewB.files.end()) continue;
        const uint32_t sizeA = a.catalogue.Entries()[indexA].fileSize;
        const uint32_t sizeB = b.catalogue.Entries()[other->second].fileSize;
        bool same = sizeA == sizeB;
        if (same) {
            const std::optional<bool> contents = SameContents(readA, indexA, readB, other->second);
            if (!contents) {
                out += "无法比较：" + path + "\n";
                trouble = true;
                continue;
            }
            same = *contents;
        }
        if (!same) {
            out += "内容不同：" + path + "\n";
            differ = true;
        }
    }
    Print(out);
    if (trouble) return kExitTrouble;
    return differ ? kExitFailure : kExitOk;
}

}  // namespace tarvex::epk
