#pragma once
#include <cstdint>
#include <span>
#include <string>

namespace tarvex::fuzz {

// Feeds a shipped encoder module's bounded decoder a fuzzed stream: three
// bytes give the file size (up to 1 MiB), the rest is the stored bytes. The
// module (a file of the plugins folder beside this program) stays loaded for
// the whole run.
void DecodeWithModule(const std::string& moduleFile, std::span<const uint8_t> input);

}  // namespace tarvex::fuzz
