#include "runtime/CallerText.h"

#include "base/GbkText.h"
#include "format/PasswordKeys.h"

namespace tarvex {

std::optional<std::string> Utf8ReadingAsGbk(std::string_view text)
{
    std::optional<std::string> converted = Utf8ToGbk(text);
    if (converted && *converted == text) return std::nullopt;
    return converted;
}

std::vector<PasswordBlocks> PasswordReadings(const char* password)
{
    std::vector<PasswordBlocks> readings;
    if (!password || !*password) return readings;
    if (const std::optional<std::string> converted = Utf8ReadingAsGbk(password))
        readings.push_back(DerivePasswordBlocks(*converted));
    readings.push_back(DerivePasswordBlocks(password));
    return readings;
}

}  // namespace tarvex
