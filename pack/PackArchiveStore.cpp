// The writing half of the pack object, apart from the reading half so that a
// program that only reads packs (the game's reader) links no writer.
#include "pack/PackArchive.h"
#include "pack/PackWriter.h"

namespace tarvex {

bool CPackArchive::Store(const std::string& target, const KeySchedule& keys, ISchemeCoder& coder,
                         IPrompt& prompt, const StoreOptions& options)
{
    loaded_ = false;
    std::optional<PackState> state = WritePack(target, keys, catalogue_, state_, coder, prompt, options);
    if (!state) return false;
    state_ = std::move(*state);
    loaded_ = true;
    return true;
}

}  // namespace tarvex
