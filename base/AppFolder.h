#pragma once
// The folder of the running program, where the programs find their
// "plugins" folder whatever the current directory.
#include <string>
#include <string_view>

namespace tarvex {

// The path cut after its last '/', the '/' kept ("/a/b/prog" gives "/a/b/");
// a path without one is returned whole.
std::string FolderOfPath(std::string_view path);

// What follows the path's last '/' ("/a/b/prog" gives "prog"); a path
// without one is returned whole.
std::string_view NameOfPath(std::string_view path);

// FolderOfPath of the running executable's full path (symbolic links
// resolved); empty when the system does not tell it.
std::string GetAppFolder();

}  // namespace tarvex
