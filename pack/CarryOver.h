#pragma once
// Files carried over from the old pack with their stored bytes as they are.
#include <optional>

#include "pack/FileProduction.h"
#include "pack/Saving.h"

namespace tarvex {

// Copies the stored bytes of the entries from `first` on that lie back to
// back in the old pack, all in one go: in the kernel when the key stays,
// else re-scrambled piece by piece (each file's key restarts at its first
// byte). Returns the index after them, or nothing after a reported failure.
std::optional<size_t> CopyFromPack(Saving& saving, size_t first, ProductionPlace& here);

}  // namespace tarvex
