#include "platform/Console.h"

#include <langinfo.h>
#include <unistd.h>

namespace tarvex {

std::string ConsoleCodeset()
{
    const char* codeset = ::nl_langinfo(CODESET);
    return codeset ? codeset : "";
}

ConsoleWrite WriteToConsole(std::FILE*, std::string_view)
{
    return ConsoleWrite::NotAConsole;
}

bool CanDrawProgress(std::FILE* stream)
{
    return ::isatty(::fileno(stream));
}

void UseBinaryStandardStreams()
{
}

}  // namespace tarvex
