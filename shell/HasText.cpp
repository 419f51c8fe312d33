#include "shell/HasText.h"

namespace tarvex {

bool HasText(std::string& text)
{
    constexpr const char* kSpace = " \t\n\v\f\r";
    const size_t first = text.find_first_not_of(kSpace);
    if (first == std::string::npos) {
        text.clear();
        return false;
    }
    text.erase(text.find_last_not_of(kSpace) + 1);
    text.erase(0, first);
    return true;
}

}  // namespace tarvex
