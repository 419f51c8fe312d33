#include "schemes/Extraction.h"

#include <algorithm>

#include "base/AppFolder.h"
#include "base/GbkText.h"
#include "base/SystemErrorText.h"
#include "format/Scrambler.h"
#include "platform/DiskPaths.h"
#include "platform/FileIo.h"
#include "platform/FileMapping.h"
#include "platform/RangeCopy.h"
#include "platform/SafeFileWriter.h"
#include "schemes/SchemeId.h"
#include "schemes/TreeExtraction.h"
#include "talk/Messages.h"

namespace tarvex {

namespace {

// A file already at `shown` that extraction leaves as it is: a failure, or
// told and passed over.
bool LeaveExisting(const std::string& shown, ExistingFiles existing, IPrompt& prompt)
{
    if (existing == ExistingFiles::Keep) {
        prompt.Tell(Printf(msg::kExtractTargetExists, shown.c_str()), MsgIcon::Error);
        return false;
    }
    prompt.Tell(Printf(msg::kExtractTargetSkipped, shown.c_str()), MsgIcon::Information);
    return true;
}

}  // namespace
namespace {

// Pieces of files stored as they are; decoded files this large are decoded
// straight into the file on disk.
constexpr size_t kPieceBytes = 1 << 20;
constexpr uint32_t kMappedFileBytes = 1 << 20;

}  // namespace

PackExtractor::PackExtractor(const CPackArchive& archive, IPrompt& prompt, PluginHost plugins)
    : archive_(archive), catalogue_(archive.GetCatalogue()), prompt_(prompt), dispatch_(catalogue_, prompt, plugins),
      plugins_(std::move(plugins))
{
}

bool PackExtractor::Open()
{
    const std::shared_ptr<HeldPack>& file = archive_.HeldFile();
    if (file && pack_.Open(*file)) return true;
    const std::string reason = file ? pack_.Error() : SystemErrorText(ENOENT);
    prompt_.Tell(Printf(msg::kCannotOpenFile, archive_.Path().c_str(), reason.c_str()), MsgIcon::Error);
    return false;
}

std::unique_ptr<PackExtractor> PackExtractor::Twin(IPrompt& prompt) const
{
    auto twin = std::make_unique<PackExtractor>(archive_, prompt, plugins_);
    twin->existing_ = existing_;
    twin->Open();
    return twin;
}

bool PackExtractor::DecodesOnAnyThread(size_t index) const
{
    return !HasStoredBytes(index) || dispatch_.ThreadSafe(CopyOf(index).scheme);
}

uint64_t PackExtractor::HeldWhileDecoded(size_t index) const
{
    if (!HasStoredBytes(index)) return 0;
    const StoredCopy copy = CopyOf(index);
    return uint64_t{copy.storedSize} + copy.fileSize;
}

bool PackExtractor::HasStoredBytes(size_t index) const
{
    const auto& entries = catalogue_.Entries();
    if (index >= entries.size()) return false;
    const FileEntry& e = entries[index];
    return (e.IsCarriedOver() && index < catalogue_.Records().size()) || e.copyOf.has_value();
}

StoredCopy PackExtractor::CopyOf(size_t index) const
{
    const FileEntry& e = catalogue_.Entries()[index];
    return e.IsCarriedOver() ? catalogue_.Records()[index].Location() : *e.copyOf;
}

bool PackExtractor::ReadStored(const StoredCopy& copy, const std::string& name, ByteBuffer& out)
{
    const std::string utf8Name = GbkToUtf8Lossy(name);
    switch (pack_.ReadStored(copy, archive_.Keys(), out)) {
    case ReadStatus::Ok: return true;
    case ReadStatus::NoMemory: prompt_.Tell(msg::kOutOfMemory, MsgIcon::Error); return false;
    case ReadStatus::OutsideFile:
        prompt_.Tell(Printf(msg::kDataOutsidePack, utf8Name.c_str()), MsgIcon::Error);
        return false;
    case ReadStatus::IoError:
        prompt_.Tell(Printf(msg::kReadFailed, utf8Name.c_str()) + pack_.Error(), MsgIcon::Error);
        return false;
    }
    return false;
}

bool PackExtractor::ReadRaw(size_t index, ByteBuffer& out)
{
    if (!HasStoredBytes(index)) return false;
    return ReadStored(CopyOf(index), catalogue_.Entries()[index].name, out);
}

bool PackExtractor::CanDecode(size_t index)
{
    if (!HasStoredBytes(index)) return false;
    const StoredCopy copy = CopyOf(index);
    return dispatch_.CanDecode(copy.storedSize, copy.fileSize, copy.scheme, catalogue_.Entries()[index].name);
}

bool PackExtractor::Decode(size_t index, ByteBuffer& out)
{
    if (!CanDecode(index)) return false;
    const StoredCopy copy = CopyOf(index);
    const std::string& name = catalogue_.Entries()[index].name;
    ByteBuffer stored;
    if (!ReadStored(copy, name, stored)) return false;
    if (copy.scheme == 0) {
        out = std::move(stored);  // already the file's own bytes
        return true;
    }
    if (!dispatch_.StreamGives(stored.span(), copy.fileSize, copy.scheme, name)) return false;
    return dispatch_.Decode(stored.span(), copy.fileSize, out, copy.scheme, name);
}

bool PackExtractor::StoredAsIs(size_t index) const
{
    if (!HasStoredBytes(index)) return false;
    const StoredCopy copy = CopyOf(index);
    return copy.scheme == 0 && copy.storedSize == copy.fileSize;
}

bool PackExtractor::Inside(const StoredCopy& copy, const std::string& name)
{
    if (pack_.Contains(copy)) return true;
    prompt_.Tell(Printf(msg::kDataOutsidePack, GbkToUtf8Lossy(name).c_str()), MsgIcon::Error);
    return false;
}

std::span<uint8_t> PackExtractor::Scratch()
{
    if (scratch_.size() == 0) {
        std::optional<ByteBuffer> piece = ByteBuffer::Allocate(kPieceBytes);
        if (piece) scratch_ = std::move(*piece);
    }
    return scratch_.span();
}

bool PackExtractor::ReadAsIs(size_t index, uint64_t offset, std::span<uint8_t> out)
{
    if (!StoredAsIs(index)) return false;
    const StoredCopy copy = CopyOf(index);
    const std::string& name = catalogue_.Entries()[index].name;
    if (!Inside(copy, name)) return false;
    if (offset + out.size() > copy.storedSize || !pack_.Handle().ReadAt(copy.dataOffset + offset, out)) {
        prompt_.Tell(Printf(msg::kReadFailed, GbkToUtf8Lossy(name).c_str()) + pack_.Error(), MsgIcon::Error);
        return false;
    }
    ScrambleFileData(out, archive_.Keys().streamKey, static_cast<unsigned>(offset & 15));
    return true;
}

bool PackExtractor::ForEachPiece(size_t index, const std::function<bool(std::span<const uint8_t>)>& take)
{
    if (!StoredAsIs(index)) {
        ByteBuffer bytes;
        return Decode(index, bytes) && take(bytes.span());
    }
    const uint64_t size = CopyOf(index).fileSize;
    const std::span<uint8_t> scratch = Scratch();
    if (scratch.empty()) {
        prompt_.Tell(msg::kOutOfMemory, MsgIcon::Error);
        return false;
    }
    for (uint64_t done = 0; done < size;) {
        const std::span<uint8_t> piece =
            scratch.first(static_cast<size_t>(std::min<uint64_t>(scratch.size(), size - done)));
        if (!ReadAsIs(index, done, piece) || !take(piece)) return false;
        done += piece.size();
    }
    return true;
}

bool PackExtractor::CopyStoredTo(const StoredCopy& copy, const std::string& name, const DiskFolder& folder,
                                 const std::string& target)
{
    if (!Inside(copy, name)) return false;
    const std::span<uint8_t> scratch = Scratch();
    if (scratch.empty()) {
        prompt_.Tell(msg::kOutOfMemory, MsgIcon::Error);
        return false;
    }
    RangeCopy range{copy.dataOffset, copy.storedSize, nullptr, nullptr};
    const auto& key = archive_.Keys().streamKey;
    if (archive_.Keys().IsProtected())
        range.transform = [&](std::span<uint8_t> piece, uint64_t at) {
            ScrambleFileData(piece, key, static_cast<unsigned>(at & 15));
        };
    return WriteNewFile(
        folder, target,
        [&](File& out, std::string& error) {
            switch (CopyRange(pack_.Handle(), out, range, scratch, error)) {
                case CopyStatus::Ok:
                    return Filled::Ok;
                case CopyStatus::WriteFailed:
                    return Filled::WriteFailed;
                case CopyStatus::SourceEnded:
                case CopyStatus::ReadFailed:
                    break;
            }
            prompt_.Tell(Printf(msg::kReadFailed, GbkToUtf8Lossy(name).c_str()) + error, MsgIcon::Error);
            return Filled::Reported;
        },
        prompt_, existing_);
}

// A coded file: its stored bytes are read, and a large one is decoded
// straight into the new file where the file can be mapped.
bool PackExtractor::DecodeTo(const StoredCopy& copy, const std::string& name, const DiskFolder& folder,
                             const std::string& target)
{
    if (!dispatch_.CanDecode(copy.storedSize, copy.fileSize, copy.scheme, name)) return false;
    ByteBuffer stored;
    if (!ReadStored(copy, name, stored)) return false;
    ByteBuffer bytes;
    const auto decodeWhole = [&] {
        const bool ok = dispatch_.Decode(stored.span(), copy.fileSize, bytes, copy.scheme, name);
        stored = ByteBuffer();
        return ok;
    };
    if (copy.fileSize < kMappedFileBytes)
        return decodeWhole() && WriteWholeFile(folder, target, bytes.span(), prompt_, existing_);
    return WriteNewFile(
        folder, target,
        [&](File& out, std::string& error) {
            WritableMapping mapping;
            switch (mapping.Map(out, copy.fileSize, error)) {
                case WritableMapping::Status::Failed:
                    return Filled::WriteFailed;
                case WritableMapping::Status::Ok:
                    if (!dispatch_.DecodeInto(stored.span(), mapping.Bytes(), copy.scheme, name))
                        return Filled::Reported;
                    mapping.Unmap();
                    // Its writing to the disk starts now, while the next
                    // file is decoded.
                    out.StartWriteBack(0, 0);
                    return out.Seek(copy.fileSize) ? Filled::Ok : Filled::WriteFailed;
                case WritableMapping::Status::Unsupported:
                    break;
            }
            if (!decodeWhole()) return Filled::Reported;
            return out.WriteAll(bytes.span()) ? Filled::Ok : Filled::WriteFailed;
        },
        prompt_, existing_);
}

bool PackExtractor::ExtractTo(size_t index, const DiskFolder& folder, const std::string& target)
{
    if (!HasStoredBytes(index)) return false;
    const StoredCopy copy = CopyOf(index);
    const std::string& name = catalogue_.Entries()[index].name;
    // A file that is to stay is not decoded at all; one that comes meanwhile
    // stays too (WriteNewFile).
    if (existing_ != ExistingFiles::Replace && folder.Has(target))
        return LeaveExisting(folder.PathOf(target), existing_, prompt_);
    if (copy.scheme == 0 && copy.storedSize == copy.fileSize) return CopyStoredTo(copy, name, folder, target);
    return DecodeTo(copy, name, folder, target);
}

bool PackExtractor::ExtractTo(size_t index, const std::string& targetPath)
{
    std::string target;
    const std::shared_ptr<const DiskFolder> folder = FolderOfPath(targetPath, target, prompt_);
    return folder && ExtractTo(index, *folder, target);
}

bool PackExtractor::ExtractRawTo(size_t index, const std::string& targetPath)
{
    std::string target;
    const std::shared_ptr<const DiskFolder> folder =
        HasStoredBytes(index) ? FolderOfPath(targetPath, target, prompt_) : nullptr;
    return folder && CopyStoredTo(CopyOf(index), catalogue_.Entries()[index].name, *folder, target);
}

bool IsSafeDiskName(const std::string& gbkName, std::string& utf8Name)
{
    const std::optional<std::string> utf8 = GbkToUtf8(gbkName);
    if (!utf8 || utf8->empty() || *utf8 == "." || *utf8 == "..") return false;
    if (utf8->find_first_of(std::string("/\\\0", 3)) != std::string::npos || !IsNameTheDiskTakes(*utf8)) return false;
    utf8Name = *utf8;
    return true;
}

bool WriteNewFile(const DiskFolder& folder, const std::string& name, const FileFiller& fill, IPrompt& prompt,
                  ExistingFiles existing)
{
    // Where nothing is in the way the file is written in place (and removed
    // again if that fails); anything already there, a link included, is
    // replaced only by a complete file and never written through. Opened for
    // reading too, so that it can be mapped.
    std::string error;
    Filled filled = Filled::Ok;
    const std::string shown = folder.PathOf(name);
    if (File fresh; folder.CreateNewFile(name, fresh)) {
        filled = fill(fresh, error);
        if (filled == Filled::Ok && fresh.Close()) return true;
        if (filled != Filled::Reported)
            prompt.Tell(Printf(msg::kCannotWriteTarget, shown.c_str(), (error.empty() ? fresh.Error() : error).c_str()),
                        MsgIcon::Error);
        folder.RemoveFile(name);
        return false;
    }
    // Something is there: replaced only once the new file is complete,
    // unless it is to stay.
    if (existing != ExistingFiles::Replace && folder.Has(name)) return LeaveExisting(shown, existing, prompt);
    SafeFileWriter out;
    if (out.OpenIn(folder, name) && out.Fill([&](File& file) {
            filled = fill(file, error);
            return filled == Filled::Ok;
        }) &&
        out.Commit(/*durable=*/false))
        return true;
    if (filled != Filled::Reported)
        prompt.Tell(Printf(msg::kCannotWriteTarget, shown.c_str(), (error.empty() ? out.Error() : error).c_str()),
                    MsgIcon::Error);
    return false;
}

bool WriteWholeFile(const DiskFolder& folder, const std::string& name, std::span<const uint8_t> bytes,
                    IPrompt& prompt, ExistingFiles existing)
{
    return WriteNewFile(
        folder, name,
        [&](File& out, std::string&) { return out.WriteAll(bytes) ? Filled::Ok : Filled::WriteFailed; }, prompt,
        existing);
}

std::shared_ptr<const DiskFolder> FolderOfPath(const std::string& path, std::string& name, IPrompt& prompt)
{
    const size_t slash = path.find_last_of(kPathSeparators);
    const std::string folderPath = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string error;
    std::shared_ptr<const DiskFolder> folder = DiskFolder::Open(folderPath, error);
    if (!folder) prompt.Tell(Printf(msg::kCannotWriteTarget, path.c_str(), error.c_str()), MsgIcon::Error);
    return folder;
}

bool ExtractDecoded(const CPackArchive& archive, size_t index, const std::string& folder, const std::string& name,
                    IPrompt& prompt, PluginHost plugins)
{
    PackExtractor extractor(archive, prompt, std::move(plugins));
    if (!extractor.HasStoredBytes(index) || !extractor.Open()) return false;
    if (folder.empty()) return extractor.ExtractTo(index, name);
    std::string error;
    const std::shared_ptr<const DiskFolder> place = DiskFolder::Open(folder, error);
    if (!place) {
        prompt.Tell(Printf(msg::kCannotWriteTarget, folder.c_str(), error.c_str()), MsgIcon::Error);
        return false;
    }
    if (name.empty()) return ExtractEntryInto(extractor, archive.GetCatalogue(), index, *place, prompt);
    return extractor.ExtractTo(index, *place, name);
}

bool ExtractRaw(const CPackArchive& archive, size_t index, const std::string& targetPath, IPrompt& prompt)
{
    PackExtractor extractor(archive, prompt);
    return extractor.HasStoredBytes(index) && extractor.Open() && extractor.ExtractRawTo(index, targetPath);
}

}  // namespace tarvex
