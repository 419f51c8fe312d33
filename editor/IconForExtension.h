#pragma once
#include <string_view>

namespace tarvex {

// The file-list image of a file kind (1..16) from its name, GBK bytes: the
// extension is everything after the first ".", or the whole name when it has
// none, compared in lower case with the table of known kinds; 1 for the rest.
int IconForExtension(std::string_view gbkName);

inline constexpr int kFolderImage = 0;

}  // namespace tarvex
