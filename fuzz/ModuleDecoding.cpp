#include "fuzz/ModuleDecoding.h"

#include <cstdlib>
#include <map>
#include <vector>

#include "plugins/EncoderModule.h"
#include "schemes/PluginHost.h"

namespace tarvex::fuzz {

void DecodeWithModule(const std::string& moduleFile, std::span<const uint8_t> input)
{
    static std::map<std::string, LoadedModule> modules;
    auto it = modules.find(moduleFile);
    if (it == modules.end()) {
        std::string error;
        std::optional<LoadedModule> module = PluginHost().Load(moduleFile, error);
        if (!module) std::abort();  // the module belongs beside the fuzzer
        it = modules.emplace(moduleFile, std::move(*module)).first;
    }
    const auto decode = it->second.Find<edl_DecodeBounded_fn>("DecodeBounded");
    if (!decode || input.size() < 3) return;
    const size_t size = input[0] | input[1] << 8 | (input[2] & 0x0F) << 16;
    std::vector<uint8_t> out(size);
    decode(input.data() + 3, static_cast<uint32_t>(input.size() - 3), out.data(), static_cast<uint32_t>(size));
}

}  // namespace tarvex::fuzz
