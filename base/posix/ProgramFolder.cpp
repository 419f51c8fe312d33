#include <unistd.h>

#include "base/AppFolder.h"

namespace tarvex {

std::string GetAppFolder()
{
    std::string path(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < path.size()) {
            path.resize(static_cast<size_t>(n));
            return FolderOfPath(path);
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace tarvex
