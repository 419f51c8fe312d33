#include "schemes/PluginHost.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/AppFolder.h"
#include "base/GbkText.h"
#include "catalogue/Catalogue.h"
#include "platform/DiskPaths.h"
#include "platform/FolderNames.h"
#include "talk/Messages.h"

namespace tarvex {
namespace {

// Longest information text taken from a module; a longer one is cut there.
constexpr size_t kMaxInfoBytes = 64 * 1024;

bool IsPlainModuleName(const std::string& utf8)
{
    return HasModuleExtension(utf8) && utf8 != ".edl" && utf8.find('/') == std::string::npos &&
           utf8.find('\\') == std::string::npos && utf8.find('\0') == std::string::npos && IsNameTheDiskTakes(utf8);
}

// A module's text, read no further than limit + 1 bytes (a text without its
// terminating NUL must not lead the reading astray).
std::string ModuleText(const char* text, size_t limit)
{
    return text ? std::string(text, strnlen(text, limit + 1)) : std::string();
}

}  // namespace

bool HasModuleExtension(const std::string& name)
{
    if (name.size() < 4) return false;
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    return ext == ".edl";
}

std::string VerdictText(ModuleVerdict verdict)
{
    switch (verdict) {
        case ModuleVerdict::Accepted:
            return {};
        case ModuleVerdict::Missing:
            return msg::kModuleMissing;
        case ModuleVerdict::BadFileName:
            return msg::kModuleBadFileName;
        case ModuleVerdict::NotLoadable:
            return msg::kModuleNotLoadable;
        case ModuleVerdict::WrongProviderType:
            return msg::kModuleNotAnEncoder;
        case ModuleVerdict::NoProviderName:
            return msg::kModuleNoProviderName;
        case ModuleVerdict::NoProviderVersion:
            return msg::kModuleNoProviderVersion;
        case ModuleVerdict::NoInfoOrAbout:
            return msg::kModuleNoInfoOrAbout;
        case ModuleVerdict::NoMemNeeded:
            return msg::kModuleNoMemNeeded;
        case ModuleVerdict::NoEncode:
            return msg::kModuleNoEncode;
        case ModuleVerdict::NameTooLong:
            return msg::kModuleNameTooLong;
    }
    return {};
}

std::optional<LoadedModule> LoadedModule::Open(const std::string& path, std::string& error)
{
    std::optional<ModuleLibrary> library = ModuleLibrary::Load(path, error);
    if (!library) return std::nullopt;
    return LoadedModule(std::move(*library));
}

bool DeclaresThreadSafe(const LoadedModule& module)
{
    const auto threadSafe = module.Find<edl_isThreadSafe_fn>("isThreadSafe");
    if (!threadSafe) return false;
    const auto held = module.Calls().Hold();
    return threadSafe() != 0;
}

ModuleEncoding CallEncode(edl_Encode_fn encode, std::span<const uint8_t> input, std::span<uint8_t> buffer)
{
    // Stored lengths are 32-bit and a pack cannot hold 4 GiB of data, so no
    // encoding is ever this long.
    constexpr uint32_t kLengthNotSet = 0xFFFFFFFFu;
    ModuleEncoding result;
    result.length = kLengthNotSet;
    if (!encode(input.data(), static_cast<uint32_t>(input.size()), buffer.data(), &result.length)) {
        result.answer = EncodeAnswer::Failed;
    } else if (result.length == kLengthNotSet) {
        result.answer = EncodeAnswer::NoLength;
    } else if (result.length == 0) {
        result.answer = EncodeAnswer::Empty;
    } else {
        result.answer = result.length > buffer.size() ? EncodeAnswer::TooLong : EncodeAnswer::Encoded;
    }
    return result;
}

PluginHost::PluginHost()
{
    const std::string program = GetAppFolder();
    if (!program.empty()) folder_ = program + "plugins";
}

std::optional<std::string> PluginHost::PathOf(const std::string& gbkModuleFile) const
{
    const std::optional<std::string> utf8 = GbkToUtf8(gbkModuleFile);
    if (folder_.empty() || !utf8 || !IsPlainModuleName(*utf8)) return std::nullopt;
    return folder_ + "/" + *utf8;
}

std::optional<LoadedModule> PluginHost::Load(const std::string& gbkModuleFile, std::string& error) const
{
    const std::optional<std::string> path = PathOf(gbkModuleFile);
    if (!path) {
        error = VerdictText(ModuleVerdict::BadFileName);
        return std::nullopt;
    }
    return LoadedModule::Open(*path, error);
}

ModuleInfo PluginHost::Inspect(const std::string& fileName) const
{
    ModuleInfo info;
    info.fileName = fileName;
    const std::optional<std::string> gbk = Utf8ToGbk(fileName);
    if (!IsPlainModuleName(fileName) || !gbk || gbk->size() > kMaxNameBytes || folder_.empty()) {
        info.verdict = ModuleVerdict::BadFileName;
        return info;
    }
    info.moduleFile = *gbk;
    const std::string path = folder_ + "/" + fileName;
    PathStatus st;
    std::string error;
    if (LookAtPath(path, st, error) != PathState::Found) {
        info.verdict = ModuleVerdict::Missing;
        return info;
    }
    std::optional<LoadedModule> module = LoadedModule::Open(path, info.loadError);
    if (!module) {
        info.verdict = ModuleVerdict::NotLoadable;
        return info;
    }

    const auto type = module->Find<edl_getProviderType_fn>("getProviderType");
    const auto name = module->Find<edl_getProviderName_fn>("getProviderName");
    const auto version = module->Find<edl_getProviderVersion_fn>("getProviderVersion");
    const auto text = module->Find<edl_getProviderInfo_fn>("getProviderInfo");
    const auto about = module->Find<edl_About_fn>("About");
    info.hasAbout = about != nullptr;
    info.hasSettings = module->Find<edl_Settings_fn>("Settings") != nullptr;
    info.canDecode = module->Find<edl_Decode_fn>("Decode") != nullptr;

    const char* nameText = nullptr;
    if (!type || type() != EDL_PROVIDER_TYPE) {
        info.verdict = ModuleVerdict::WrongProviderType;
    } else if (!name || !(nameText = name())) {
        info.verdict = ModuleVerdict::NoProviderName;
    } else if (!version) {
        info.verdict = ModuleVerdict::NoProviderVersion;
    } else if (!text && !about) {
        info.verdict = ModuleVerdict::NoInfoOrAbout;
    } else if (!module->Find<edl_getMemNeeded_fn>("getMemNeeded")) {
        info.verdict = ModuleVerdict::NoMemNeeded;
    } else if (!module->Find<edl_Encode_fn>("Encode")) {
        info.verdict = ModuleVerdict::NoEncode;
    } else {
        info.providerName = ModuleText(nameText, kMaxNameBytes);
        info.version = version();
        if (text) info.infoText = ModuleText(text(), kMaxInfoBytes);
        info.threadSafe = DeclaresThreadSafe(*module);
        info.verdict = info.providerName.size() > kMaxNameBytes ? ModuleVerdict::NameTooLong : ModuleVerdict::Accepted;
    }
    return info;
}

std::vector<ModuleInfo> PluginHost::Survey() const
{
    std::vector<std::string> names;
    std::vector<FolderName> found;
    std::string error;
    if (!folder_.empty() && ReadFolderNames(folder_, found, error)) {
        for (const FolderName& item : found) {
            PathStatus st;
            if (HasModuleExtension(item.name) && LookAtPath(folder_ + "/" + item.name, st, error) == PathState::Found &&
                st.kind == FileKind::Regular)
                names.push_back(item.name);
        }
    }
    std::sort(names.begin(), names.end());
    std::vector<ModuleInfo> modules;
    for (const std::string& name : names) modules.push_back(Inspect(name));
    return modules;
}

}  // namespace tarvex
