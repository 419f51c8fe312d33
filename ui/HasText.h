#pragma once
#include <string>

namespace tarvex {

// Trims leading and trailing white space (blank, tab, line breaks) from text
// in place and tells whether anything is left. The label editors use it to
// refuse blank names.
bool HasText(std::string& text);

}  // namespace tarvex
