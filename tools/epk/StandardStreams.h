#pragma once
// A pack given as "-": read from standard input, or written to standard
// output; what epk needs to know of the two for that.
#include <memory>
#include <string>

#include "platform/HeldPack.h"

namespace tarvex::epk {

inline constexpr const char* kStandardStream = "-";

// The pack on standard input, held as a pack file is. A file there is
// opened again and read where it lies; anything else (a pipe, a socket) is
// read once, to its end, into a temporary file of this process's own, which
// is gone when epk ends: a pack's tables are at its end, and its files are
// read from anywhere in it. Nothing, with `error` set, when standard input
// cannot be read or the copy not written.
std::shared_ptr<HeldPack> PackFromStandardInput(std::string& error);

// Whether standard output is a terminal (or a console), where a pack's bytes
// have no business.
bool StandardOutputIsTerminal();

// The path of the file standard output writes to; empty for a pipe, a
// terminal or a device, and where the system cannot tell.
std::string FileOnStandardOutput();

}  // namespace tarvex::epk
