#include "base/AppFolder.h"

namespace tarvex {

std::string FolderOfPath(std::string_view path)
{
    const size_t slash = path.find_last_of(kPathSeparators);
    return std::string(slash == std::string_view::npos ? path : path.substr(0, slash + 1));
}

std::string_view NameOfPath(std::string_view path)
{
    const size_t slash = path.find_last_of(kPathSeparators);
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace tarvex
