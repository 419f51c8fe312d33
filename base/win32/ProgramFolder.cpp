#include <windows.h>

#include "base/AppFolder.h"
#include "base/win32/WideText.h"

namespace tarvex {

// The program's own executable, whichever module (a DLL of a game, say)
// asks.
std::string GetAppFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return FolderOfPath(Utf8FromWide(path));
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace tarvex
