#pragma once
// The host side of encoder modules: finding the "*.edl" files in the plugins
// folder beside the program, checking them against the module contract
// (plugins/EncoderModule.h), and loading one for the length of one whole
// operation (a save, an extraction, an encode test, a look at it), not for
// one call.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/ModuleLibrary.h"
#include "plugins/EncoderModule.h"
#include "schemes/ModuleCallLock.h"

namespace tarvex {

// What became of a module file, in the order the checks run.
enum class ModuleVerdict {
    Accepted,
    Missing,            // no such file in the plugins folder
    BadFileName,        // not a plain "*.edl" name a pack can record
    NotLoadable,        // not a shared object this program can load
    WrongProviderType,  // getProviderType missing or not EDL_PROVIDER_TYPE
    NoProviderName,
    NoProviderVersion,
    NoInfoOrAbout,
    NoMemNeeded,
    NoEncode,
    NameTooLong,  // getProviderName longer than a pack can record
};

// Why a module is not used, for the user (UTF-8); empty for Accepted.
std::string VerdictText(ModuleVerdict verdict);

// What one look at a module file found.
struct ModuleInfo {
    std::string fileName;    // on disk (UTF-8)
    std::string moduleFile;  // the same name in GBK, as a plug-in table records it
    ModuleVerdict verdict = ModuleVerdict::Missing;
    std::string loadError;     // the loader's words, for NotLoadable
    std::string providerName;  // GBK
    uint32_t version = 0;
    std::string infoText;  // GBK; empty without getProviderInfo
    bool hasAbout = false;
    bool hasSettings = false;
    bool canDecode = false;   // exports Decode
    bool threadSafe = false;  // declares that it may be called from several threads at once
};

// One module, loaded for as long as this object lives.
class LoadedModule {
public:
    // Loads the shared object (a DLL on Windows) at path; empty, with the
    // loader's words in error, when it cannot be loaded.
    static std::optional<LoadedModule> Open(const std::string& path, std::string& error);

    // The export of that name as a function pointer of type Fn; null when
    // the module lacks it.
    template <typename Fn>
    Fn Find(const char* name) const
    {
        return reinterpret_cast<Fn>(library_.Symbol(name));
    }

    // The lock that calls into this module hold unless it declared itself
    // thread-safe; every load of the same module in the process shares it.
    ModuleCallLock& Calls() const { return *calls_; }

private:
    explicit LoadedModule(ModuleLibrary library)
        : calls_(ModuleCallLock::For(library.Identity())), library_(std::move(library))
    {
    }

    // The lock outlives the loaded library, which is unloaded first.
    std::shared_ptr<ModuleCallLock> calls_;
    ModuleLibrary library_;
};

class PluginHost {
public:
    // The plugins folder beside the running program: the only place the
    // programs load modules from, whatever the current directory.
    PluginHost();
    // Modules from another folder. For tests: the programs never pass one.
    explicit PluginHost(std::string folder) : folder_(std::move(folder)) {}

    const std::string& Folder() const { return folder_; }

    // The disk path of a module a plug-in table names (GBK); empty when the
    // name is not a plain "*.edl" file name, so that a pack cannot make the
    // program load anything from elsewhere.
    std::optional<std::string> PathOf(const std::string& gbkModuleFile) const;

    // Loads the module a plug-in table names; empty, with a reason in error,
    // when it cannot be loaded.
    std::optional<LoadedModule> Load(const std::string& gbkModuleFile, std::string& error) const;

    // Loads one module file of the folder (UTF-8 name), checks it and
    // unloads it again.
    ModuleInfo Inspect(const std::string& fileName) const;

    // Every "*.edl" file of the folder, in byte order of the names, each
    // inspected; the accepted ones are the encoders on offer.
    std::vector<ModuleInfo> Survey() const;

private:
    std::string folder_;
};

// Whether a loaded module declares that several threads may call it at once:
// it exports isThreadSafe and that returns non-zero (asked under the
// module's lock: until it has answered, it is not).
bool DeclaresThreadSafe(const LoadedModule& module);

// What one call of a module's Encode gave, checked against the contract.
enum class EncodeAnswer {
    Encoded,   // success, with a length of 1 to the buffer's size
    Failed,    // Encode returned 0
    NoLength,  // success, but the length was never set
    Empty,     // success with a length of 0: no stream can carry a file's size in nothing
    TooLong,   // success with a length beyond the buffer it was given
};
struct ModuleEncoding {
    EncodeAnswer answer = EncodeAnswer::Failed;
    uint32_t length = 0;  // as the module set it
};

// Calls a module's Encode on input (at least one byte) with buffer, which
// holds the module's getMemNeeded answer for it. The length starts as a value
// no call can give, so that a module that leaves it unset is caught.
ModuleEncoding CallEncode(edl_Encode_fn encode, std::span<const uint8_t> input, std::span<uint8_t> buffer);

// Whether a disk name (UTF-8) ends in ".edl", in any case.
bool HasModuleExtension(const std::string& name);

}  // namespace tarvex
