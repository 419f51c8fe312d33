// epk test: every file decoded in memory, the failures and the mended
// damage of the pack's tables listed.
#include "schemes/Extraction.h"
#include "talk/Messages.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"
#include "tools/epk/Json.h"
#include "tools/epk/ListedPaths.h"
#include "tools/epk/PackSession.h"

namespace tarvex::epk {
namespace {

struct TestFindings {
    size_t tested = 0;
    std::vector<size_t> failed;           // files that do not decode
    std::vector<size_t> orphans;          // files whose folder is gone
    std::vector<const Folder*> repeated;  // folders listed twice
    bool Ok() const { return failed.empty() && orphans.empty() && repeated.empty(); }
};

std::string FindingsJson(const std::string& pack, const Catalogue& catalogue, const TestFindings& found)
{
    const ListedPaths paths(catalogue, kJsonPath);
    JsonWriter json;
    json.BeginObject().Number("format", kJsonFormat).Field("pack", pack).Number("tested", found.tested);
    const auto files = [&](const char* key, const std::vector<size_t>& indices) {
        json.BeginArray(key);
        for (size_t i : indices) json.Value(paths.Of(catalogue.Entries()[i]));
        json.EndArray();
    };
    files("failed", found.failed);
    files("orphans", found.orphans);
    json.BeginArray("repeated_folders");
    for (const Folder* folder : found.repeated) json.Value(ListedPath(*folder, kJsonPath));
    json.EndArray().Flag("ok", found.Ok()).EndObject();
    return json.Text();
}

std::string FindingsText(const Catalogue& catalogue, const TestFindings& found)
{
    const ListedPaths paths(catalogue, {});
    std::string out;
    for (size_t i : found.failed) out += paths.Of(catalogue.Entries()[i]) + "\t失败\n";
    // A damaged catalogue the reader mended is a failed test too, even when
    // every file decodes.
    for (size_t i : found.orphans) out += paths.Of(catalogue.Entries()[i]) + "\t原来所在的文件夹不存在\n";
    for (const Folder* folder : found.repeated) out += ListedPath(*folder) + "/\t在文件夹表中重复出现\n";
    if (found.Ok()) return out + Printf("测试了 %zu 个文件，全部正常。\n", found.tested);
    if (found.failed.empty())
        return out + Printf("测试了 %zu 个文件，全部能够解码，但文件包的目录已经损坏。\n", found.tested);
    return out + Printf("测试了 %zu 个文件，其中 %zu 个失败。\n", found.tested, found.failed.size());
}

}  // namespace

int RunTest(const CliArgs& args)
{
    PackSession session;
    const std::string& packPath = args.positional[0];
    if (!session.Open(packPath, args)) return kExitFailure;
    PackExtractor extractor(session.archive, session.prompt);
    if (!extractor.Open()) return kExitFailure;

    const Catalogue& catalogue = session.catalogue;
    const auto& entries = catalogue.Entries();
    TestFindings found;
    found.tested = entries.size();
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
        if (!ok) found.failed.push_back(i);
    }
    session.prompt.ProgressEnd();
    const PackRepairs& repairs = session.archive.Repairs();
    found.orphans = repairs.orphanEntries;
    for (uint16_t id : repairs.repeatedFolderIds)
        if (const Folder* folder = catalogue.FolderById(id)) found.repeated.push_back(folder);
    Print(args.Has("--json") ? FindingsJson(packPath, catalogue, found) : FindingsText(catalogue, found));
    return found.Ok() ? kExitOk : kExitFailure;
}

}  // namespace tarvex::epk
