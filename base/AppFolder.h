#pragma once
// The folder of the running program, where the programs find their
// "plugins" folder whatever the current directory.
#include <string>
#include <string_view>

namespace tarvex {

// The characters that end a folder's name in a disk path: '/', and on
// Windows '\' as well.
#ifdef _WIN32
inline constexpr std::string_view kPathSeparators = "/\\";
#else
inline constexpr std::string_view kPathSeparators = "/";
#endif

// The path cut after its last separator, the separator kept ("/a/b/prog"
// gives "/a/b/"); a path without one is returned whole.
std::string FolderOfPath(std::string_view path);

// What follows the path's last separator ("/a/b/prog" gives "prog"); a path
// without one is returned whole.
std::string_view NameOfPath(std::string_view path);

// FolderOfPath of the running executable's full path (symbolic links
// resolved); empty when the system does not tell it.
std::string GetAppFolder();

}  // namespace tarvex
