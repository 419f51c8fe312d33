#pragma once
// Scheme codes: one byte per file in the catalogue and in the pack.
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/Catalogue.h"

namespace tarvex {

inline constexpr uint8_t kSchemeNone = 0;
inline constexpr uint8_t kSchemeRle = 1;
inline constexpr uint8_t kSchemeLz = 2;
inline constexpr uint8_t kSchemePluginBase = 0x80;

inline bool IsPluginScheme(uint8_t scheme) { return scheme >= kSchemePluginBase; }
inline size_t PluginSlotOf(uint8_t scheme) { return scheme - kSchemePluginBase; }

// The name shown for a scheme (UTF-8): "不编码", "RLE", "ZIV", or the plug-in
// slot's provider name; "未知" for codes that name nothing.
std::string SchemeName(uint8_t scheme, const std::vector<PluginSlot>& plugins);

}  // namespace tarvex
