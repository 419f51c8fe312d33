#include "pack/CarryOver.h"

#include <algorithm>
#include <array>
#include <vector>

#include "talk/Messages.h"

namespace tarvex {

std::optional<size_t> CopyFromPack(Saving& saving, size_t first, ProductionPlace& here)
{
    const auto& entries = saving.catalogue.Entries();
    if (!OpenOldPack(saving, here, first)) return std::nullopt;
    const uint64_t base = saving.out.Position();
    const StoredCopy head = saving.plan.CopyOf(first);
    std::vector<uint64_t> starts;  // of each file, from the start of the run
    uint64_t length = 0;
    size_t end = first;
    for (; end < entries.size() && saving.plan.RouteOf(end) == Route::FromPack; ++end) {
        const StoredCopy copy = saving.plan.CopyOf(end);
        if (end > first && (copy.dataOffset != head.dataOffset + length || !here.oldPack.Contains(copy))) break;
        if (!here.oldPack.Contains(copy)) {
            saving.Refuse(Printf(msg::kDataOutsidePack, saving.NameOf(end).c_str()));
            return std::nullopt;
        }
        if (!saving.StartRecord(end, base + length, copy.fileSize, copy.storedSize, copy.scheme)) return std::nullopt;
        starts.push_back(length);
        length += copy.storedSize;
    }

    std::array<uint8_t, 16> change{};
    for (size_t k = 0; k < change.size(); ++k) change[k] = saving.current.keys.streamKey[k] ^ saving.keys.streamKey[k];
    RangeCopy range{head.dataOffset, length, nullptr, nullptr};
    if (std::any_of(change.begin(), change.end(), [](uint8_t b) { return b != 0; }))
        range.transform = [&](std::span<uint8_t> piece, uint64_t at) {
            size_t k = static_cast<size_t>(std::upper_bound(starts.begin(), starts.end(), at) - starts.begin()) - 1;
            for (uint64_t pos = at; pos < at + piece.size(); ++k) {
                const uint64_t fileEnd = k + 1 < starts.size() ? starts[k + 1] : length;
                const uint64_t segmentEnd = std::min(fileEnd, at + piece.size());
                ScrambleFileData(piece.subspan(pos - at, segmentEnd - pos), change,
                                 static_cast<unsigned>((pos - starts[k]) & 15));
                pos = std::max(pos, segmentEnd);
            }
        };
    // Files are stepped as the copy passes their ends.
    const auto fileEnd = [&](size_t k) { return k + 1 - first < starts.size() ? starts[k + 1 - first] : length; };
    size_t current = first;
    saving.ShowProcessing(first);
    const auto passTo = [&](uint64_t done) {
        const size_t before = current;
        for (; current < end && fileEnd(current) <= done; ++current) saving.prompt.ProgressStep();
        if (current != before && current < end) saving.ShowProcessing(current);
    };
    range.progress = [&](uint64_t done) {
        passTo(done);
        saving.prompt.ProgressBytes(base + done);
    };
    if (!saving.PutRange(here.oldPack.Handle(), range, current)) return std::nullopt;
    passTo(length);
    saving.prompt.ProgressBytes(saving.out.Position());
    return end;
}

}  // namespace tarvex
