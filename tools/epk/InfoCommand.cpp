#include "base/GbkText.h"
#include "schemes/SizeText.h"
#include "talk/Messages.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"
#include "tools/epk/Json.h"
#include "tools/epk/PackSession.h"

namespace tarvex::epk {
namespace {

std::string InfoJson(const std::string& path, const PackHeader& header, const Catalogue& catalogue)
{
    JsonWriter json;
    json.BeginObject()
        .Number("format", kJsonFormat)
        .Field("pack", path)
        .Number("version", header.version)
        .Flag("protected", header.IsProtected())
        .Number("folders", catalogue.FolderCount())
        .Number("files", catalogue.Entries().size())
        .BeginArray("plugins");
    for (size_t k = 0; k < catalogue.Plugins().size(); ++k) {
        const PluginSlot& slot = catalogue.Plugins()[k];
        json.BeginObject()
            .Number("slot", k)
            .Number("scheme", 0x80 + k)
            .Field("provider", GbkToUtf8Lossy(slot.providerName))
            .Field("module", GbkToUtf8Lossy(slot.moduleFile))
            .Field("version", FormatVersionText(slot.version))
            .Number("version_code", slot.version)
            .EndObject();
    }
    json.EndArray().EndObject();
    return json.Text();
}

}  // namespace

int RunInfo(const CliArgs& args)
{
    PackSession session;
    const std::string& path = args.positional[0];
    if (!session.Open(path, args)) return kExitFailure;
    const PackHeader& header = session.archive.Header();
    const Catalogue& catalogue = session.catalogue;
    if (args.Has("--json")) {
        Print(InfoJson(path, header, catalogue));
        return kExitOk;
    }
    std::string out;
    out += Printf("文件包：%s\n", path.c_str());
    out += Printf("格式版本：%u\n", header.version);
    out += Printf("密码保护：%s\n", header.IsProtected() ? "是" : "否");
    out += Printf("文件夹数：%zu\n", catalogue.FolderCount());
    out += Printf("文件数：%zu\n", catalogue.Entries().size());
    out += Printf("扩展编码插件数：%zu\n", catalogue.Plugins().size());
    for (size_t k = 0; k < catalogue.Plugins().size(); ++k) {
        const PluginSlot& slot = catalogue.Plugins()[k];
        out += Printf("  %zu\t%s\t%s\t%s\n", k, GbkToUtf8Lossy(slot.providerName).c_str(),
                      GbkToUtf8Lossy(slot.moduleFile).c_str(), FormatVersionText(slot.version).c_str());
    }
    Print(out);
    return kExitOk;
}

}  // namespace tarvex::epk
