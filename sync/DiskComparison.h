#pragma once
// Whether files of the pack on disk still hold the bytes of files on disk of
// the same size, for sync: decoded bytes against the disk file's, compared on
// all cores in bounded pieces (files stored as they are are never held
// whole, and a large one is shared out in parts).
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/Catalogue.h"
#include "pack/PackArchive.h"
#include "pack/StoredData.h"
#include "talk/DeferredPrompt.h"

namespace tarvex {

struct DiskTwin {
    size_t entry;      // of the archive's catalogue as loaded
    std::string name;  // its name, GBK, for messages
    std::string path;  // the file on disk
    uint32_t fileSize;
    // Where its bytes lie in the pack when they are stored as they are.
    std::optional<StoredCopy> asIs;
};

enum class Sameness {
    Same,
    Differs,     // another byte, another length now, or pack bytes that do not decode (reported)
    Unreadable,  // the disk file cannot be read (reported)
    Unsettled,   // not compared: the comparison stopped at a difference
};

class DiskComparison {
public:
    // Opens the pack file and takes its key now. Twins stored as they are
    // are then compared from these alone, so that Run may go on while the
    // archive saves over the pack; coded twins are decoded through the
    // archive, which must stay as loaded until Run returns. sparedCores:
    // cores left to other work (a save running beside the comparison); it
    // runs on the others, and on one at least.
    DiskComparison(const CPackArchive& archive, std::vector<DiskTwin> twins, unsigned sparedCores = 0);

    // One answer per twin, in their order; the messages wait in Messages().
    // Runs once. With untilDifferent it stops at the first difference
    // found, leaving what it has not compared yet unsettled.
    std::vector<Sameness> Run(bool untilDifferent = false);
    const std::vector<DeferredMessage>& Messages() const { return messages_; }

private:
    struct Part;
    struct Comparer;
    Sameness Compare(const Part& part, Comparer& comparer) const;

    const CPackArchive& archive_;
    std::vector<DiskTwin> twins_;
    std::array<uint8_t, 16> streamKey_;
    std::vector<PackDataFile> packFiles_;  // one for each thread, opened at once
    DeferredPrompt opening_;                // what opening the pack file said
    std::vector<DeferredMessage> messages_;
};

}  // namespace tarvex
