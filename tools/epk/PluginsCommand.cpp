#include "base/GbkText.h"
#include "schemes/PluginHost.h"
#include "schemes/SizeText.h"
#include "talk/Messages.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"
#include "tools/epk/Json.h"

namespace tarvex::epk {
namespace {

std::string WhyIgnored(const ModuleInfo& module)
{
    std::string why = VerdictText(module.verdict);
    if (!module.loadError.empty()) why += "：" + module.loadError;
    return why;
}

std::string PluginsJson(const PluginHost& plugins, const std::vector<ModuleInfo>& modules)
{
    JsonWriter json;
    json.BeginObject().Number("format", kJsonFormat).Field("folder", plugins.Folder()).BeginArray("plugins");
    for (const ModuleInfo& module : modules) {
        if (module.verdict != ModuleVerdict::Accepted) continue;
        json.BeginObject()
            .Field("module", module.fileName)
            .Field("provider", GbkToUtf8Lossy(module.providerName))
            .Field("version", FormatVersionText(module.version))
            .Number("version_code", module.version)
            .Flag("decodes", module.canDecode)
            .Flag("thread_safe", module.threadSafe)
            .EndObject();
    }
    json.EndArray().BeginArray("ignored");
    for (const ModuleInfo& module : modules)
        if (module.verdict != ModuleVerdict::Accepted)
            json.BeginObject().Field("module", module.fileName).Field("reason", WhyIgnored(module)).EndObject();
    return json.EndArray().EndObject().Text();
}

}  // namespace

int RunPlugins(const CliArgs& args)
{
    const PluginHost plugins;
    const std::vector<ModuleInfo> modules = plugins.Survey();
    std::string out;
    size_t accepted = 0;
    for (const ModuleInfo& module : modules) {
        if (module.verdict != ModuleVerdict::Accepted) {
            PrintErr(Printf("已忽略“%s”：%s。", module.fileName.c_str(), WhyIgnored(module).c_str()));
            continue;
        }
        ++accepted;
        out += Printf("%s\t%s\t%s\t%s\t%s\n", module.fileName.c_str(), GbkToUtf8Lossy(module.providerName).c_str(),
                      FormatVersionText(module.version).c_str(), module.canDecode ? "能解码" : "未发现解码模块",
                      module.threadSafe ? "多线程" : "单线程");
    }
    Print(args.Has("--json") ? PluginsJson(plugins, modules) : out);
    if (accepted == 0)
        PrintErr(Printf("没有发现任何可用的外部编码插件！\n（插件文件夹：%s）", plugins.Folder().c_str()));
    return kExitOk;
}

}  // namespace tarvex::epk
