#include "ui/HasText.h"

#include "catalogue/CatalogueEdits.h"

namespace tarvex {

bool HasText(std::string& text)
{
    text = std::string(TrimmedName(text));
    return !text.empty();
}

}  // namespace tarvex
