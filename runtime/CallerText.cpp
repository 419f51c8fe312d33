#include "runtime/CallerText.h"

#include "archive/GbkText.h"
#include "archive/PasswordKeys.h"

namespace tarvex {

std::string CallerTextAsGbk(std::string_view text)
{
    return Utf8ToGbk(text).value_or(std::string(text));
}

std::optional<PasswordBlocks> PasswordBlocksOf(const char* password)
{
    if (!password || !*password) return std::nullopt;
    return DerivePasswordBlocks(CallerTextAsGbk(password));
}

}  // namespace tarvex
