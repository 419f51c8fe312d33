#include "platform/ModuleLibrary.h"

#include <dlfcn.h>

#include <utility>

namespace tarvex {

ModuleLibrary::ModuleLibrary(ModuleLibrary&& other) noexcept : handle_(std::exchange(other.handle_, nullptr))
{
}

ModuleLibrary& ModuleLibrary::operator=(ModuleLibrary&& other) noexcept
{
    if (this != &other) {
        if (handle_) ::dlclose(handle_);
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

ModuleLibrary::~ModuleLibrary()
{
    if (handle_) ::dlclose(handle_);
}

std::optional<ModuleLibrary> ModuleLibrary::Load(const std::string& path, std::string& error)
{
    // Every symbol is bound now, so that a module missing a library fails
    // here instead of in the middle of a call; nothing it defines leaks into
    // the next module loaded.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        error = why ? why : path;
        return std::nullopt;
    }
    return ModuleLibrary(handle);
}

void* ModuleLibrary::Symbol(const char* name) const
{
    return handle_ ? ::dlsym(handle_, name) : nullptr;
}

}  // namespace tarvex
