#pragma once
// A shared library loaded at run time by its full path, never looked for
// along a search path: a shared object, or a Windows DLL.
#include <optional>
#include <string>

namespace tarvex {

class ModuleLibrary {
public:
    ModuleLibrary(ModuleLibrary&& other) noexcept;
    ModuleLibrary& operator=(ModuleLibrary&& other) noexcept;
    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;
    ~ModuleLibrary();

    // Loads the library at path with every symbol bound now; empty, with the
    // loader's words in error, when it cannot be loaded.
    static std::optional<ModuleLibrary> Load(const std::string& path, std::string& error);

    // The export of that name; null when the library lacks it.
    void* Symbol(const char* name) const;
    // The same for every load of one library in the process while any is
    // loaded.
    const void* Identity() const { return handle_; }

private:
    explicit ModuleLibrary(void* handle) : handle_(handle) {}
    void* handle_ = nullptr;
};

}  // namespace tarvex
