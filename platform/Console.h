#pragma once
// The console a program runs in: its character set, text written to it as
// text, and the program's arguments.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// The character set the console shows bytes in: the program's locale's
// (nl_langinfo(CODESET), as setlocale set it) on POSIX systems; on Windows
// "CP" and the code page of the program's console, or of its ANSI code
// page where it has no console.
std::string ConsoleCodeset();

enum class ConsoleWrite {
    NotAConsole,  // the stream takes bytes: write them as they are
    Written,
    Failed,
};
// Writes UTF-8 text to the stream as text where it is a console that takes
// text rather than bytes (Windows'); NotAConsole everywhere else.
ConsoleWrite WriteToConsole(std::FILE* stream, std::string_view utf8);

// Whether the stream is a terminal that a progress line can be drawn on
// ("\r" and "ESC [ K"; a Windows console is asked to take them).
bool CanDrawProgress(std::FILE* stream);

// The program's arguments after its name, in UTF-8 on Windows (from its
// Unicode command line) and as given elsewhere.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Standard input, output and error carry bytes as they are (on Windows they
// would otherwise turn "\n" into "\r\n").
void UseBinaryStandardStreams();

}  // namespace tarvex
