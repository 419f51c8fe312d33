#include "base/GbkText.h"
#include "schemes/PluginHost.h"
#include "schemes/SizeText.h"
#include "talk/Messages.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"

namespace tarvex::epk {

int RunPlugins(const CliArgs&)
{
    const PluginHost plugins;
    std::string out;
    size_t accepted = 0;
    for (const ModuleInfo& module : plugins.Survey()) {
        if (module.verdict != ModuleVerdict::Accepted) {
            std::string why = VerdictText(module.verdict);
            if (!module.loadError.empty()) why += "：" + module.loadError;
            PrintErr(Printf("已忽略%s：%s。\n", module.fileName.c_str(), why.c_str()));
            continue;
        }
        ++accepted;
        out += Printf("%s\t%s\t%s\t%s\t%s\n", module.fileName.c_str(), GbkToUtf8Lossy(module.providerName).c_str(),
                      FormatVersionText(module.version).c_str(), module.canDecode ? "能解码" : "未发现解码模块",
                      module.threadSafe ? "多线程" : "单线程");
    }
    Print(out);
    if (accepted == 0)
        PrintErr(Printf("没有发现任何可用的外部编码插件！\n（插件文件夹：%s）\n", plugins.Folder().c_str()));
    return kExitOk;
}

}  // namespace tarvex::epk
