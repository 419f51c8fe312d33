#include "platform/ModuleLibrary.h"

#include <windows.h>

#include <utility>

#include "platform/win32/WidePath.h"
#include "platform/win32/WindowsErrors.h"

namespace tarvex {

ModuleLibrary::ModuleLibrary(ModuleLibrary&& other) noexcept : handle_(std::exchange(other.handle_, nullptr))
{
}

ModuleLibrary& ModuleLibrary::operator=(ModuleLibrary&& other) noexcept
{
    if (this != &other) {
        if (handle_) ::FreeLibrary(static_cast<HMODULE>(handle_));
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

ModuleLibrary::~ModuleLibrary()
{
    if (handle_) ::FreeLibrary(static_cast<HMODULE>(handle_));
}

std::optional<ModuleLibrary> ModuleLibrary::Load(const std::string& path, std::string& error)
{
    const std::optional<std::wstring> wide = WidePath(path);
    if (!wide) {
        error = WindowsErrorText(ERROR_INVALID_NAME);
        return std::nullopt;
    }
    // A full path: Windows loads that file and looks for no other. A module
    // that cannot be loaded is an error to report, never a box on the
    // screen that waits for a click.
    DWORD previous = 0;
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous);
    const HMODULE module = ::LoadLibraryW(PlainWidePath(*wide).c_str());
    const DWORD code = ::GetLastError();
    ::SetThreadErrorMode(previous, nullptr);
    if (!module) {
        error = WindowsErrorText(code, path);
        return std::nullopt;
    }
    return ModuleLibrary(module);
}

void* ModuleLibrary::Symbol(const char* name) const
{
    return handle_ ? reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name)) : nullptr;
}

}  // namespace tarvex
