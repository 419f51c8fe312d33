#include "base/AppFolder.h"

#include <unistd.h>

namespace tarvex {

std::string FolderOfPath(std::string_view path)
{
    const size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(0, slash + 1));
}

std::string_view NameOfPath(std::string_view path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

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
