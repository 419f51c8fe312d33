#include "pack/FileProduction.h"

#include "base/GbkText.h"
#include "catalogue/PackPaths.h"
#include "talk/Messages.h"

namespace tarvex {
namespace {

bool EncodeFile(const Saving& saving, const FileEntry& entry, ProductionPlace& place, StoredFile& out)
{
    const uint32_t n = out.fileSize;
    out.stored = out.plain.span();
    out.scheme = 0;
    // Empty files and scheme "none" are stored as they are, without a copy.
    if (n == 0 || entry.scheme == 0) return true;

    std::optional<ByteBuffer> encoded = ByteBuffer::Allocate(place.coder.MemNeeded(n, entry.scheme));
    if (!encoded) return place.Refuse(msg::kOutOfMemory);
    uint32_t storedLen = 0;
    // An encoder that breaks on a file costs that file its scheme, not the
    // save: it is stored as it is, and the save says so when it is done.
    const EncodeStatus status = place.coder.Encode(out.plain.span(), encoded->span(), storedLen, entry.scheme,
                                                   EntryPackPath(saving.folderPaths, entry), out.encodeFault);
    if (status == EncodeStatus::Failed) return false;
    if (status == EncodeStatus::Declined || status == EncodeStatus::Refused || status == EncodeStatus::Broke)
        return true;
    if (storedLen > encoded->size()) return place.Refuse(Printf(msg::kUnknownScheme, GbkToUtf8Lossy(entry.name).c_str()));
    const bool smaller = status == EncodeStatus::Encoded && !(saving.options.fallbackToNone && storedLen >= n);
    const bool keep = smaller || (status == EncodeStatus::NotSmaller && !saving.options.fallbackToNone);
    if (!keep) return true;
    out.encoded = std::move(*encoded);
    out.encoded.Shrink(storedLen);
    out.stored = out.encoded.span();
    out.scheme = entry.scheme;
    out.plain = ByteBuffer();  // only the encoded bytes stay in flight
    return true;
}

bool ProduceFile(const Saving& saving, size_t index, ProductionPlace& place, StoredFile& out)
{
    const FileEntry& entry = saving.catalogue.Entries()[index];
    const auto name = [&] { return GbkToUtf8Lossy(entry.name); };

    if (entry.FromPack()) {
        // Its scheme changed (unchanged ones are copied as they are): decoded
        // from the old pack, then encoded again.
        const StoredCopy copy = saving.plan.CopyOf(index);
        if (!OpenOldPack(saving, place, index)) return false;
        ByteBuffer stored;
        switch (place.oldPack.ReadStored(copy, saving.current.keys, stored)) {
        case ReadStatus::Ok: break;
        case ReadStatus::NoMemory: return place.Refuse(msg::kOutOfMemory);
        case ReadStatus::OutsideFile: return place.Refuse(Printf(msg::kDataOutsidePack, name().c_str()));
        case ReadStatus::IoError:
            return place.Refuse(Printf(msg::kReadFailed, name().c_str()) + place.oldPack.Error());
        }
        out.fileSize = copy.fileSize;
        ByteBuffer plain;
        if (!place.coder.Decode(stored.span(), copy.fileSize, plain, copy.scheme, entry.name)) return false;
        stored = ByteBuffer();  // only the decoded bytes stay while they are encoded
        out.plain = std::move(plain);
        return EncodeFile(saving, entry, place, out);
    }

    // Most small files are as long as when they were added: they are read
    // with one call, their length taken as known. Any other outcome
    // (another length, no longer a plain file) takes the checked way below,
    // which tells why.
    if (saving.plan.RouteOf(index) == Route::Produced && entry.fileSize < kStreamedFileBytes) {
        File quick;
        std::optional<ByteBuffer> plain;
        if (place.sources.OpenReadUnsized(quick, entry.sourcePath) && (plain = ByteBuffer::Allocate(entry.fileSize)) &&
            quick.ReadToEnd(plain->span()) == File::WholeRead::Ok) {
            out.fileSize = entry.fileSize;
            out.plain = std::move(*plain);
            return EncodeFile(saving, entry, place, out);
        }
    }
    File source;
    uint64_t length = 0;
    if (!place.sources.OpenRead(source, entry.sourcePath, &length))
        return place.Refuse(Printf(msg::kReadFailed, name().c_str()) + source.Error());
    if (length >= kUnknownSize) return place.Refuse(Printf(msg::kFileTooLarge, name().c_str()));
    out.fileSize = static_cast<uint32_t>(length);
    if ((saving.plan.RouteOf(index) == Route::FromSource || saving.plan.RouteOf(index) == Route::EncodedFromSource) &&
        length >= kStreamedFileBytes) {
        out.streamed = std::move(source);
        return true;
    }
    std::optional<ByteBuffer> plain = ByteBuffer::Allocate(length);
    if (!plain) return place.Refuse(msg::kOutOfMemory);
    // The file must end where its length said: one that is still growing
    // would be stored cut short.
    switch (source.ReadToEnd(plain->span())) {
    case File::WholeRead::Ok: break;
    case File::WholeRead::Failed: return place.Refuse(Printf(msg::kReadFailed, name().c_str()) + source.Error());
    case File::WholeRead::Longer: return place.Refuse(Printf(msg::kFileChanged, name().c_str()));
    }
    out.plain = std::move(*plain);
    return EncodeFile(saving, entry, place, out);
}

}  // namespace

// The old pack's bytes come from the very file that was read, through a
// descriptor of the place's own.
bool OpenOldPack(const Saving& saving, ProductionPlace& place, size_t index)
{
    if (place.oldPack.IsOpen()) return true;
    const std::string name = saving.NameOf(index);
    if (!saving.current.file) return place.Refuse(Printf(msg::kReadFailed, name.c_str()));
    if (place.oldPack.Open(*saving.current.file)) return true;
    return place.Refuse(Printf(msg::kReadFailed, name.c_str()) + place.oldPack.Error());
}

ProducedFile Produce(const Saving& saving, size_t index, ProductionPlace& place)
{
    ProducedFile produced;
    produced.ok = ProduceFile(saving, index, place, produced.file);
    if (produced.ok && !produced.file.streamed.IsOpen()) ScrambleFileData(produced.file.stored, saving.keys.streamKey);
    produced.messages = place.TakeMessages();
    return produced;
}

}  // namespace tarvex
