#include "tools/epk/DiskComparison.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

#include "archive/DeferredPrompt.h"
#include "archive/FileIo.h"
#include "archive/Messages.h"
#include "archive/ParallelFor.h"
#include "schemes/Extraction.h"

namespace tarvex::epk {
namespace {

// A file stored as it is is compared in parts of this size, which the cores
// share out, so that one huge file does not leave a core idle.
constexpr uint64_t kPartBytes = 4 << 20;
// Both sides are read in pieces of this size: pieces that stay in the
// core's cache are compared at about twice the speed of 1 MiB ones, which
// the kernel copies out past the cache.
constexpr size_t kPieceBytes = 64 << 10;

struct Part {
    size_t twin;
    uint64_t offset;
    uint64_t length;
    bool decoded;  // the entry is coded: decoded whole, then compared
};

// What one thread compares with: an extractor of its own, a prompt that
// keeps its messages for the caller's thread, and a piece for each side.
struct Comparer {
    DeferredPrompt deferred;
    std::unique_ptr<PackExtractor> pack;
    ByteBuffer packPiece;
    ByteBuffer diskPiece;
};

struct Verdict {
    std::atomic<bool> differs{false};
    std::atomic<bool> unreadable{false};

    bool Settled() const { return differs || unreadable; }
    void Take(Sameness sameness)
    {
        if (sameness == Sameness::Differs) differs = true;
        if (sameness == Sameness::Unreadable) unreadable = true;
    }
};

class Comparison {
public:
    Comparison(const CPackArchive& archive, std::span<const DiskTwin> twins) : archive_(archive), twins_(twins) {}

    std::vector<Sameness> Run(const std::string& packPath, IPrompt& prompt);

private:
    void PlanParts(PackExtractor& pack);
    Sameness Compare(const Part& part, Comparer& comparer) const;
    static Sameness CompareWithFile(File& disk, const std::string& path, uint64_t offset,
                                    std::span<const uint8_t> expected, std::span<uint8_t> piece, IPrompt& prompt);

    const CPackArchive& archive_;
    std::span<const DiskTwin> twins_;
    std::vector<Part> shared_;  // parts any thread may compare
    std::vector<Part> onCaller_;  // parts whose decoder runs on one thread only
};

void Comparison::PlanParts(PackExtractor& pack)
{
    for (size_t t = 0; t < twins_.size(); ++t) {
        const size_t entry = twins_[t].entry;
        const uint64_t size = archive_.GetCatalogue().Entries()[entry].fileSize;
        if (!pack.StoredAsIs(entry)) {
            (pack.DecodesOnAnyThread(entry) ? shared_ : onCaller_).push_back({t, 0, size, true});
            continue;
        }
        for (uint64_t at = 0; at < size || at == 0; at += kPartBytes)
            shared_.push_back({t, at, std::min(kPartBytes, size - at), false});
    }
}

Sameness Comparison::CompareWithFile(File& disk, const std::string& path, uint64_t offset,
                                     std::span<const uint8_t> expected, std::span<uint8_t> piece, IPrompt& prompt)
{
    for (size_t done = 0; done < expected.size();) {
        const size_t n = std::min(piece.size(), expected.size() - done);
        if (!disk.ReadAt(offset + done, piece.first(n))) {
            prompt.Tell(Printf(msg::kReadFailed, path.c_str()) + disk.Error(), MsgIcon::Error);
            return Sameness::Unreadable;
        }
        if (std::memcmp(piece.data(), expected.data() + done, n) != 0) return Sameness::Differs;
        done += n;
    }
    return Sameness::Same;
}

Sameness Comparison::Compare(const Part& part, Comparer& comparer) const
{
    const DiskTwin& twin = twins_[part.twin];
    IPrompt& prompt = comparer.deferred;
    File disk;
    uint64_t length = 0;
    if (!disk.OpenRead(twin.path, &length)) {
        prompt.Tell(Printf(msg::kCannotOpenFile, twin.path.c_str(), disk.Error().c_str()), MsgIcon::Error);
        return Sameness::Unreadable;
    }
    if (length != archive_.GetCatalogue().Entries()[twin.entry].fileSize) return Sameness::Differs;
    const std::span<uint8_t> diskPiece = comparer.diskPiece.span();
    if (part.decoded) {
        ByteBuffer decoded;
        if (!comparer.pack->Decode(twin.entry, decoded)) return Sameness::Differs;
        return CompareWithFile(disk, twin.path, 0, decoded.span(), diskPiece, prompt);
    }
    const std::span<uint8_t> packPiece = comparer.packPiece.span();
    for (uint64_t done = 0; done < part.length;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(packPiece.size(), part.length - done));
        if (!comparer.pack->ReadAsIs(twin.entry, part.offset + done, packPiece.first(n))) return Sameness::Differs;
        const Sameness piece = CompareWithFile(disk, twin.path, part.offset + done, packPiece.first(n), diskPiece, prompt);
        if (piece != Sameness::Same) return piece;
        done += n;
    }
    return Sameness::Same;
}

std::vector<Sameness> Comparison::Run(const std::string& packPath, IPrompt& prompt)
{
    PackExtractor pack(archive_, prompt);
    if (!pack.Open(packPath)) return std::vector<Sameness>(twins_.size(), Sameness::Unreadable);
    PlanParts(pack);

    ParallelFor threads(std::max(1u, std::thread::hardware_concurrency()) - 1);
    std::vector<Comparer> comparers(threads.Participants());
    for (Comparer& comparer : comparers) {
        comparer.pack = pack.Twin(comparer.deferred);
        std::optional<ByteBuffer> a = ByteBuffer::Allocate(kPieceBytes);
        std::optional<ByteBuffer> b = ByteBuffer::Allocate(kPieceBytes);
        if (!a || !b) {
            prompt.Tell(msg::kOutOfMemory, MsgIcon::Error);
            return std::vector<Sameness>(twins_.size(), Sameness::Unreadable);
        }
        comparer.packPiece = std::move(*a);
        comparer.diskPiece = std::move(*b);
    }

    std::vector<Verdict> verdicts(twins_.size());
    std::vector<std::vector<DeferredMessage>> sharedMessages(shared_.size());
    const auto compare = [&](const Part& part, Comparer& comparer) {
        Verdict& verdict = verdicts[part.twin];
        if (verdict.Settled()) return std::vector<DeferredMessage>{};
        verdict.Take(Compare(part, comparer));
        return comparer.deferred.Take();
    };
    threads.Run(shared_.size(), [&](size_t i, size_t participant) {
        sharedMessages[i] = compare(shared_[i], comparers[participant]);
    });
    for (const std::vector<DeferredMessage>& messages : sharedMessages) ShowMessages(messages, prompt);
    for (const Part& part : onCaller_) ShowMessages(compare(part, comparers[0]), prompt);

    std::vector<Sameness> answers;
    for (const Verdict& verdict : verdicts)
        answers.push_back(verdict.unreadable ? Sameness::Unreadable
                          : verdict.differs  ? Sameness::Differs
                                             : Sameness::Same);
    return answers;
}

}  // namespace

std::vector<Sameness> CompareWithDisk(const CPackArchive& archive, const std::string& packPath,
                                      std::span<const DiskTwin> twins, IPrompt& prompt)
{
    return Comparison(archive, twins).Run(packPath, prompt);
}

}  // namespace tarvex::epk
