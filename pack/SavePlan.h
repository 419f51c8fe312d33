#pragma once
// The plan of a save, made before a byte is written: the plug-in table the
// pack will hold (only the modules in use), the format's limits checked, and
// how every file gets into the pack.
#include <cstdint>
#include <vector>

#include "catalogue/Catalogue.h"
#include "format/PasswordKeys.h"
#include "pack/SchemeCoder.h"
#include "talk/Prompt.h"

namespace tarvex {

// Large files stored as they are go from their source to the pack without
// being held: in the kernel, or through a piece buffer of this size.
inline constexpr uint64_t kStreamedFileBytes = 1 << 20;
inline constexpr size_t kStreamPiece = 1 << 20;
// Coded files this long are encoded as they are read, on the writing thread,
// by schemes that can: their memory stays the same whatever their length.
inline constexpr uint64_t kStreamEncodedBytes = 16 << 20;

// How a file gets into the pack.
enum class Route {
    Produced,    // read (and encoded) by a worker, or here for a module bound to one thread
    FromPack,    // its stored bytes copied from the old pack as they are, re-scrambled if the key changed
    FromSource,  // a large file stored as it is, copied from its source when its turn comes
    EncodedFromSource,  // a large file encoded as it is read from its source when its turn comes
};

class SavePlan {
public:
    SavePlan(const Catalogue& catalogue, ISchemeCoder& coder) : catalogue_(catalogue), coder_(coder) {}

    // Keeps the plug-in slots that some entry names, then checks what the
    // format cannot hold (reported).
    bool Make(const KeySchedule& keys, IPrompt& prompt);
    // Decides how every file gets into the pack, and which files are made on
    // the writing thread: those copied there, and those whose scheme (or, for
    // a file re-encoded from the old pack, whose old scheme) is bound to one
    // thread.
    void PlanRoutes();

    const std::vector<PluginSlot>& Plugins() const { return plugins_; }
    std::vector<PluginSlot> TakePlugins() { return std::move(plugins_); }
    // The scheme byte written for a scheme of the catalogue.
    uint8_t WrittenScheme(uint8_t scheme) const
    {
        return scheme >= 0x80 ? static_cast<uint8_t>(0x80 + slotMap_[scheme - 0x80]) : scheme;
    }
    Route RouteOf(size_t index) const { return routes_[index]; }
    bool OnCaller(size_t index) const { return onCaller_[index]; }
    // Where entry `index`'s stored bytes lie in the old pack.
    StoredCopy CopyOf(size_t index) const;
    // The memory a file holds while it is made.
    uint64_t Weight(size_t index) const;
    bool CarriesFromPack() const;

private:
    void CompactPlugins();
    bool CheckLimits(const KeySchedule& keys, IPrompt& prompt) const;

    const Catalogue& catalogue_;
    ISchemeCoder& coder_;
    std::vector<PluginSlot> plugins_;  // the table written: slots in use only
    std::vector<uint8_t> slotMap_;     // old slot -> written slot
    std::vector<Route> routes_;
    std::vector<bool> onCaller_;
};

}  // namespace tarvex
