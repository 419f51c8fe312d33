#include "sync/DiskComparison.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <atomic>
#include <cstring>
#include <memory>

#include "base/GbkText.h"
#include "base/SystemErrorText.h"
#include "platform/FileIo.h"
#include "schemes/Extraction.h"
#include "talk/Messages.h"
#include "talk/ThrownError.h"
#include "threads/ParallelFor.h"
#include "threads/ThreadPool.h"

namespace tarvex {
namespace {

// A file stored as it is is compared in parts of this size, which the cores
// share out, so that one huge file does not leave a core idle.
constexpr uint64_t kPartBytes = 4 << 20;
// Both sides are read in pieces of this size: pieces that stay in the
// core's cache are compared at about twice the speed of 1 MiB ones, which
// the kernel copies out past the cache.
constexpr size_t kPieceBytes = 64 << 10;

struct Verdict {
    std::atomic<bool> differs{false};
    std::atomic<bool> unreadable{false};
    std::atomic<bool> skipped{false};

    bool Settled() const { return differs || unreadable; }
    void Take(Sameness sameness)
    {
        if (sameness == Sameness::Differs) differs = true;
        if (sameness == Sameness::Unreadable) unreadable = true;
    }
};

// Whether stored bytes, scrambled with the key from position `at` of their
// file, are the plain bytes: one pass over both, a word at a time, instead
// of unscrambling the stored bytes first.
bool SameUnderKey(std::span<const uint8_t> stored, std::span<const uint8_t> plain,
                  const std::array<uint8_t, 16>& key, uint64_t at)
{
    if (std::all_of(key.begin(), key.end(), [](uint8_t b) { return b == 0; }))
        return std::memcmp(stored.data(), plain.data(), stored.size()) == 0;  // no password
    std::array<uint8_t, 16> turned;  // the key as it lines up with stored[0]
    for (size_t k = 0; k < 16; ++k) turned[k] = key[(at + k) & 15];
    uint64_t keyWords[2];
    std::memcpy(keyWords, turned.data(), 16);
    size_t i = 0;
    for (; i + 16 <= stored.size(); i += 16) {
        uint64_t a[2];
        uint64_t b[2];
        std::memcpy(a, stored.data() + i, 16);
        std::memcpy(b, plain.data() + i, 16);
        if (((a[0] ^ keyWords[0]) ^ b[0]) | ((a[1] ^ keyWords[1]) ^ b[1])) return false;
    }
    for (; i < stored.size(); ++i)
        if ((stored[i] ^ turned[i & 15]) != plain[i]) return false;
    return true;
}

// Reads expected.size() bytes of the disk file from offset on, in pieces,
// and compares them with expected.
Sameness CompareWithFile(File& disk, const std::string& path, uint64_t offset, std::span<const uint8_t> expected,
                         std::span<uint8_t> piece, IPrompt& prompt)
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

}  // namespace

struct DiskComparison::Part {
    size_t twin;
    uint64_t offset;
    uint64_t length;
};

// What one thread compares with: the pack file opened for it, a prompt that
// keeps its messages, a piece for each side, and for coded twins an
// extractor of its own.
struct DiskComparison::Comparer {
    PackDataFile pack;
    DeferredPrompt deferred;
    std::unique_ptr<PackExtractor> decoder;
    ByteBuffer packPiece;
    ByteBuffer diskPiece;
};

DiskComparison::DiskComparison(const CPackArchive& archive, std::vector<DiskTwin> twins, unsigned sparedCores)
    : archive_(archive), twins_(std::move(twins)), streamKey_(archive.Keys().streamKey)
{
    const size_t cores = std::max<size_t>(1, ThreadPool::Shared().Threads());
    packFiles_.resize(cores > sparedCores ? cores - sparedCores : 1);
    const HeldPack* pack = archive.HeldFile().get();
    for (PackDataFile& file : packFiles_) {
        if (pack && file.Open(*pack)) continue;
        const std::string reason = pack ? file.Error() : SystemErrorText(ENOENT);
        opening_.Tell(Printf(msg::kCannotOpenFile, archive.Path().c_str(), reason.c_str()), MsgIcon::Error);
        packFiles_.clear();
        return;
    }
}

Sameness DiskComparison::Compare(const Part& part, Comparer& comparer) const
{
    const DiskTwin& twin = twins_[part.twin];
    IPrompt& prompt = comparer.deferred;
    File disk;
    uint64_t length = 0;
    if (!disk.OpenRead(twin.path, &length)) {
        prompt.Tell(Printf(msg::kCannotOpenFile, twin.path.c_str(), disk.Error().c_str()), MsgIcon::Error);
        return Sameness::Unreadable;
    }
    if (length != twin.fileSize) return Sameness::Differs;
    const std::span<uint8_t> diskPiece = comparer.diskPiece.span();
    if (!twin.asIs) {
        ByteBuffer decoded;
        if (!comparer.decoder->Decode(twin.entry, decoded)) return Sameness::Differs;
        return CompareWithFile(disk, twin.path, 0, decoded.span(), diskPiece, prompt);
    }
    const StoredCopy& copy = *twin.asIs;
    if (!comparer.pack.Contains(copy)) {
        prompt.Tell(Printf(msg::kDataOutsidePack, GbkToUtf8Lossy(twin.name).c_str()), MsgIcon::Error);
        return Sameness::Differs;
    }
    const std::span<uint8_t> packPiece = comparer.packPiece.span();
    for (uint64_t done = 0; done < part.length;) {
        const uint64_t at = part.offset + done;
        const size_t n = static_cast<size_t>(std::min<uint64_t>(packPiece.size(), part.length - done));
        const std::span<uint8_t> piece = packPiece.first(n);
        if (!comparer.pack.Handle().ReadAt(copy.dataOffset + at, piece)) {
            prompt.Tell(Printf(msg::kReadFailed, GbkToUtf8Lossy(twin.name).c_str()) + comparer.pack.Error(),
                        MsgIcon::Error);
            return Sameness::Differs;
        }
        if (!disk.ReadAt(at, diskPiece.first(n))) {
            prompt.Tell(Printf(msg::kReadFailed, twin.path.c_str()) + disk.Error(), MsgIcon::Error);
            return Sameness::Unreadable;
        }
        if (!SameUnderKey(piece, diskPiece.first(n), streamKey_, at)) return Sameness::Differs;
        done += n;
    }
    return Sameness::Same;
}

std::vector<Sameness> DiskComparison::Run(bool untilDifferent)
{
    messages_ = opening_.Take();
    if (packFiles_.empty()) return std::vector<Sameness>(twins_.size(), Sameness::Unreadable);

    std::vector<Part> shared;    // parts any thread may compare
    std::vector<Part> onCaller;  // coded twins whose decoder runs on one thread only
    std::unique_ptr<PackExtractor> decoder;
    for (size_t t = 0; t < twins_.size(); ++t) {
        const DiskTwin& twin = twins_[t];
        if (twin.asIs) {
            for (uint64_t at = 0; at < twin.fileSize; at += kPartBytes)
                shared.push_back({t, at, std::min<uint64_t>(kPartBytes, twin.fileSize - at)});
            continue;
        }
        if (!decoder) {
            decoder = std::make_unique<PackExtractor>(archive_, opening_);
            decoder->Open();
        }
        (decoder->DecodesOnAnyThread(twin.entry) ? shared : onCaller).push_back({t, 0, twin.fileSize});
    }

    ParallelFor threads(packFiles_.size() - 1);
    std::vector<Comparer> comparers(threads.Participants());
    for (size_t k = 0; k < comparers.size(); ++k) {
        Comparer& comparer = comparers[k];
        comparer.pack = std::move(packFiles_[k]);
        std::optional<ByteBuffer> a = ByteBuffer::Allocate(kPieceBytes);
        std::optional<ByteBuffer> b = ByteBuffer::Allocate(kPieceBytes);
        if (!a || !b) {
            messages_.push_back({msg::kOutOfMemory, MsgIcon::Error});
            return std::vector<Sameness>(twins_.size(), Sameness::Unreadable);
        }
        comparer.packPiece = std::move(*a);
        comparer.diskPiece = std::move(*b);
        if (decoder) comparer.decoder = decoder->Twin(comparer.deferred);
    }

    std::vector<Verdict> verdicts(twins_.size());
    std::vector<std::vector<DeferredMessage>> partMessages(shared.size());
    std::atomic<bool> stopped{false};
    const auto compare = [&](const Part& part, Comparer& comparer) {
        Verdict& verdict = verdicts[part.twin];
        if (stopped) {
            verdict.skipped = true;
        } else if (!verdict.Settled()) {
            verdict.Take(Compare(part, comparer));
            if (untilDifferent && verdict.Settled()) stopped = true;
        }
        return comparer.deferred.Take();
    };
    try {
        threads.Run(shared.size(), [&](size_t i, size_t participant) {
            partMessages[i] = compare(shared[i], comparers[participant]);
        });
        for (const std::vector<DeferredMessage>& messages : partMessages)
            messages_.insert(messages_.end(), messages.begin(), messages.end());
        for (const Part& part : onCaller) {
            const std::vector<DeferredMessage> messages = compare(part, comparers[0]);
            messages_.insert(messages_.end(), messages.begin(), messages.end());
        }
    } catch (...) {
        // A comparison that threw (on any thread) settles nothing.
        messages_.push_back({ThrownErrorText(std::current_exception()), MsgIcon::Error});
        return std::vector<Sameness>(twins_.size(), Sameness::Unreadable);
    }

    std::vector<Sameness> answers;
    for (const Verdict& verdict : verdicts)
        answers.push_back(verdict.unreadable ? Sameness::Unreadable
                          : verdict.differs  ? Sameness::Differs
                          : verdict.skipped  ? Sameness::Unsettled
                                             : Sameness::Same);
    return answers;
}

}  // namespace tarvex
