#pragma once
// Shell patterns as --exclude takes them, the same on every system: '*' any
// run of characters ('/' included), '?' one character, "[...]" one of a set
// (ranges "a-z", "[!...]" or "[^...]" for none of them, classes such as
// "[:digit:]" for ASCII), '\' takes the next character as it is. Characters
// are UTF-8 ones; a byte that is no UTF-8 counts as one character.
#include <string_view>

namespace tarvex {

bool MatchesShellPattern(std::string_view pattern, std::string_view text);

}  // namespace tarvex
