#pragma once
// Number texts shown to the user (UTF-8).
#include <cstdint>
#include <string>

namespace tarvex {

// "未知" for all ones, "%0.1fM" above 1 MiB, "%0.1fK" above 1 KiB, else "%d".
std::string FormatSizeText(uint32_t value);
// "%d%%" of encoded / file x 100, truncated; "未知" when either is unknown.
std::string FormatRatioText(uint32_t fileSize, uint32_t encodedSize);
// A plug-in's version: its four bytes from the highest, "%d.%d.%d.%d".
std::string FormatVersionText(uint32_t version);

}  // namespace tarvex
