#include "tools/epk/SchemeArgument.h"

#include "schemes/SchemeId.h"
#include "talk/Messages.h"
#include "tools/epk/Console.h"

namespace tarvex::epk {

bool NamesModule(const std::string& name)
{
    return HasModuleExtension(name);
}

std::optional<uint8_t> ParseSchemeArgument(const std::string& name, Catalogue& catalogue, const PluginHost& plugins)
{
    if (name == "none") return kSchemeNone;
    if (name == "rle") return kSchemeRle;
    if (name == "lz") return kSchemeLz;
    if (!NamesModule(name)) {
        PrintErr("未知的编码方案" + Quoted(name) + "（可用：none、rle、lz，或 plugins 文件夹里的扩展编码插件“模块.edl”）");
        return std::nullopt;
    }

    const ModuleInfo module = plugins.Inspect(name);
    if (module.verdict != ModuleVerdict::Accepted) {
        std::string why = VerdictText(module.verdict);
        if (!module.loadError.empty()) why += "：" + module.loadError;
        PrintErr(Printf("无法使用扩展编码插件“%s”：%s。\n（插件文件夹：%s）\n", name.c_str(), why.c_str(),
                        plugins.Folder().c_str()));
        return std::nullopt;
    }
    const std::optional<uint8_t> code = catalogue.AddPlugin(module.moduleFile, module.providerName, module.version);
    if (!code) PrintErr(Printf("扩展编码插件表已满（%zu个），无法再加入“%s”。\n", kMaxPluginSlots, name.c_str()));
    return code;
}

}  // namespace tarvex::epk
