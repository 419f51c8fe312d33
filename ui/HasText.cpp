#include "ui/HasText.h"

#include "archive/CatalogueEdits.h"

namespace tarvex {

bool HasText(std::string& text)
{
    text = std::string(TrimmedName(text));
    return !text.empty();
}

}  // namespace tarvex
