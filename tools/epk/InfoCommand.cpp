#include "archive/GbkText.h"
#include "archive/Messages.h"
#include "schemes/SizeText.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"
#include "tools/epk/PackSession.h"

namespace tarvex::epk {

int RunInfo(const CliArgs& args)
{
    PackSession session;
    if (!session.Open(args.positional[0], args)) return kExitFailure;
    const PackHeader& header = session.archive.Header();
    const Catalogue& catalogue = session.catalogue;
    std::string out;
    out += Printf("文件包：%s\n", args.positional[0].c_str());
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
