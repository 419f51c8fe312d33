#pragma once
// Text for the console. Programs keep their texts in UTF-8; a console whose
// character set is of the GBK family (a GBK locale, or code page 936 on
// Windows) gets them as GBK bytes, every other console (UTF-8 on Linux
// terminals, code page 65001) gets them unchanged. ConsoleCodeset() is in
// platform/Console.h.
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/Console.h"

namespace tarvex {

// Whether a console of this character set shows GBK bytes (GBK, CP936,
// GB2312, GB18030; any letter case).
bool IsGbkCodeset(std::string_view codeset);

// A UTF-8 text as the console of the program's locale shows it.
std::string ToConsole(std::string_view utf8);
std::string ToConsole(std::string_view utf8, std::string_view codeset);

// The length of the longest prefix of text, at most maxBytes long, that does
// not end inside a character (GBK double-byte or UTF-8 sequence).
size_t WholeCharacterPrefix(std::string_view text, size_t maxBytes, bool gbk);

}  // namespace tarvex
