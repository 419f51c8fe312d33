#include "pack/PackWriter.h"

#include <algorithm>
#include <cstring>
#include <future>
#include <thread>

#include "base/ByteBuffer.h"
#include "base/GbkText.h"
#include "catalogue/PackPaths.h"
#include "format/Scrambler.h"
#include "pack/FolderTable.h"
#include "pack/SaveTarget.h"
#include "pack/StoredData.h"
#include "platform/RangeCopy.h"
#include "platform/SafeFileWriter.h"
#include "talk/DeferredPrompt.h"
#include "talk/Messages.h"
#include "talk/ThrownError.h"
#include "threads/OrderedPipeline.h"

namespace tarvex {
namespace {

// One file's bytes as they go into the data area, scrambled.
struct StoredFile {
    ByteBuffer plain;    // the file's bytes
    ByteBuffer encoded;  // the encoder's output, when one ran
    std::span<uint8_t> stored;
    uint32_t fileSize = 0;
    uint8_t scheme = 0;
    File streamed;  // open when the file is copied to the pack from its source instead
    std::string encodeFault;  // why its encoder broke, when it is stored unencoded for that
};

// Large files stored as they are go from their source to the pack without
// being held: in the kernel, or through a piece buffer of this size.
constexpr uint64_t kStreamedFileBytes = 1 << 20;
constexpr size_t kStreamPiece = 1 << 20;
// Coded files this long are encoded as they are read, on the writing thread,
// by schemes that can: their memory stays the same whatever their length.
constexpr uint64_t kStreamEncodedBytes = 16 << 20;
// The least memory files in flight may take together, whatever their sizes.
constexpr uint64_t kLeastBudget = 8 << 20;

// How a file gets into the pack.
enum class Route {
    Produced,    // read (and encoded) by a worker, or here for a module bound to one thread
    FromPack,    // its stored bytes copied from the old pack as they are, re-scrambled if the key changed
    FromSource,  // a large file stored as it is, copied from its source when its turn comes
    EncodedFromSource,  // a large file encoded as it is read from its source when its turn comes
};

// Where one file is produced: the prompt its failures go to, the coder, and
// readers of the old pack and of source folders of its own (reads happen on
// several threads).
struct ProductionPlace {
    ProductionPlace(IPrompt& p, ISchemeCoder& c) : prompt(p), coder(c) {}
    virtual ~ProductionPlace() = default;
    bool Refuse(const std::string& text)
    {
        prompt.Tell(text, MsgIcon::Error);
        return false;
    }
    // The messages kept for the writing thread to show.
    virtual std::vector<DeferredMessage> TakeMessages() { return {}; }
    IPrompt& prompt;
    ISchemeCoder& coder;
    PackDataFile oldPack;
    FolderOpener sources;
};

struct WorkerParts {
    explicit WorkerParts(const ISchemeCoder& coder) : reportingCoder(coder.ReportingTo(deferred)) {}
    DeferredPrompt deferred;
    std::unique_ptr<ISchemeCoder> reportingCoder;
};

// A worker thread's place: its messages wait until the file's turn comes.
struct WorkerPlace : WorkerParts, ProductionPlace {
    explicit WorkerPlace(const ISchemeCoder& coder) : WorkerParts(coder), ProductionPlace(deferred, *reportingCoder) {}
    std::vector<DeferredMessage> TakeMessages() override { return deferred.Take(); }
};

// What a job hands back to the writing thread.
struct ProducedFile {
    bool ok = false;
    StoredFile file;
    std::vector<DeferredMessage> messages;
};

class Writing {
public:
    Writing(Catalogue& catalogue, const PackState& current, ISchemeCoder& coder, IPrompt& prompt,
            const StoreOptions& options, const KeySchedule& keys)
        : catalogue_(catalogue), current_(current), coder_(coder), prompt_(prompt), options_(options),
          keys_(keys), scr_(keys)
    {
    }

    std::optional<PackState> Run(const std::string& target);

private:
    bool Refuse(const std::string& text)
    {
        prompt_.Tell(text, MsgIcon::Error);
        return false;
    }
    std::string Utf8(const std::string& gbk) const { return GbkToUtf8Lossy(gbk); }

    bool CheckLimits();
    void CompactPlugins();
    uint8_t WrittenScheme(uint8_t scheme) const
    {
        return scheme >= 0x80 ? static_cast<uint8_t>(0x80 + slotMap_[scheme - 0x80]) : scheme;
    }

    bool Put(std::span<const uint8_t> bytes);
    bool PutU8(uint8_t v) { return Put({&v, 1}); }
    bool PutU16(uint16_t v)
    {
        const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
        return Put(b);
    }
    bool PutDword(uint32_t plain);
    bool PutName(const std::string& name);
    bool PutCheckBlock(unsigned length);

    bool WriteTables(const FolderNumbering& numbering);
    bool WriteData();
    void PlanRoutes();
    StoredCopy CopyOf(size_t index) const;
    uint64_t Weight(size_t index) const;
    ProducedFile Produce(size_t index, ProductionPlace& place) const;
    bool OpenOldPack(ProductionPlace& place, size_t index) const;
    bool CarriesFromPack() const;
    bool ProduceFile(size_t index, ProductionPlace& place, StoredFile& out) const;
    bool EncodeFile(const FileEntry& entry, ProductionPlace& place, StoredFile& out) const;
    void ShowProcessing(size_t index);
    bool StartRecord(size_t index, uint64_t offset, uint32_t fileSize, uint64_t storedSize, uint8_t scheme);
    bool PutRange(File& from, const RangeCopy& range, const size_t& reading);
    bool PutStreamed(size_t index, StoredFile& file);
    bool PutEncodedStream(size_t index, StoredFile& file);
    bool PutScrambled(std::span<uint8_t> stored, uint64_t at);
    enum class Pass {
        Encoded,     // the encoding is in the pack
        StoredAsIs,  // the file's own bytes are in the pack, as it is to be stored
        AsItIs,      // the file is to be stored as it is
        Again,       // the encoding was only measured, and is to be kept: encode it again
        Failed,      // reported
    };
    Pass EncodeWindows(size_t index, StoredFile& file, bool mayMeasure);
    bool DropWrittenFrom(uint64_t start);
    class EncodedOutput;
    std::optional<size_t> CopyFromPack(size_t first, ProductionPlace& here);
    bool PutProduced(size_t index, ProducedFile& produced);
    bool WriteEntryTable();
    PackState Apply(const std::string& target, FolderNumbering& numbering);

    Catalogue& catalogue_;
    const PackState& current_;
    ISchemeCoder& coder_;
    IPrompt& prompt_;
    const StoreOptions& options_;
    KeySchedule keys_;
    Scrambler scr_;
    SafeFileWriter out_;
    bool failed_ = false;  // a failure already reported

    std::vector<PluginSlot> plugins_;  // the table written: slots in use only
    std::vector<uint8_t> slotMap_;     // old slot -> written slot
    std::vector<PackRecord> records_;
    PackHeader header_;
    const FolderNumbering* numbering_ = nullptr;
    std::vector<Route> routes_;
    std::vector<bool> onCaller_;
    ByteBuffer scratch_;  // the pieces of copies that cannot go in the kernel
    std::array<ByteBuffer, 2> windows_;  // of a file encoded as it is read: one encoded, the next read meanwhile
    std::unordered_map<uint32_t, std::string> folderPaths_;  // for the names in encoders' faults
    std::vector<std::string> storedUnencoded_;               // the faults of files stored unencoded, in entry order
};

bool Writing::Put(std::span<const uint8_t> bytes)
{
    if (failed_) return false;
    if (out_.Write(bytes)) return true;
    failed_ = true;
    return Refuse(Printf(msg::kWriteFailed, out_.TargetPath().c_str(), out_.Error().c_str()));
}

bool Writing::PutDword(uint32_t plain)
{
    const uint32_t scrambled = scr_.Dword(plain);
    // A reader restarts its position on a stored value of all ones, so a
    // scrambled value that comes out as all ones could never be read back.
    if (plain != 0xFFFFFFFFu && scrambled == 0xFFFFFFFFu) {
        failed_ = true;
        return Refuse(msg::kPasswordUnusableHere);
    }
    const uint8_t b[4] = {static_cast<uint8_t>(scrambled), static_cast<uint8_t>(scrambled >> 8),
                          static_cast<uint8_t>(scrambled >> 16), static_cast<uint8_t>(scrambled >> 24)};
    return Put(b);
}

bool Writing::PutName(const std::string& name)
{
    std::vector<uint8_t> bytes(name.begin(), name.end());
    const uint8_t length = scr_.Byte(static_cast<uint8_t>(bytes.size()));
    scr_.Name(bytes);
    return PutU8(length) && Put(bytes);
}

bool Writing::PutCheckBlock(unsigned length)
{
    std::vector<uint8_t> bytes(length);
    for (uint8_t& b : bytes) b = scr_.NextCheckByte();
    return Put(bytes);
}

bool Writing::CheckLimits()
{
    if (!KeysUsable(keys_)) return Refuse(msg::kPasswordUnusable);
    if (catalogue_.FolderCount() > kMaxPackFolders)
        return Refuse(Printf(msg::kTooManyFolders, static_cast<int>(catalogue_.FolderCount())));
    if (plugins_.size() > kMaxPackPlugins)
        return Refuse(Printf(msg::kTooManyPlugins, static_cast<int>(plugins_.size())));
    for (const PluginSlot& slot : plugins_) {
        for (const std::string* name : {&slot.providerName, &slot.moduleFile})
            if (name->size() > kMaxNameBytes) return Refuse(Printf(msg::kNameTooLong, Utf8(*name).c_str()));
    }

    std::vector<bool> inTree(0x10000, false);  // folder IDs of the tree, looked up for every entry
    std::vector<const Folder*> pending{&catalogue_.Root()};
    while (!pending.empty()) {
        const Folder* folder = pending.back();
        pending.pop_back();
        if (folder->parent && folder->name.size() > kMaxNameBytes)
            return Refuse(Printf(msg::kNameTooLong, Utf8(folder->name).c_str()));
        inTree[folder->parent ? folder->id : 0] = true;
        for (const auto& child : folder->children) pending.push_back(child.get());
    }
    for (const FileEntry& e : catalogue_.Entries()) {
        if (e.name.size() > kMaxNameBytes) return Refuse(Printf(msg::kNameTooLong, Utf8(e.name).c_str()));
        if (e.fileSize == kUnknownSize) return Refuse(Printf(msg::kFileTooLarge, Utf8(e.name).c_str()));
        if (e.folderId >= inTree.size() || !inTree[e.folderId]) return Refuse(msg::kDamaged);
        if (e.scheme >= 0x80 && static_cast<size_t>(e.scheme - 0x80) >= catalogue_.Plugins().size())
            return Refuse(Printf(msg::kUnknownScheme, Utf8(e.name).c_str()));
    }
    return true;
}

void Writing::CompactPlugins()
{
    const auto& slots = catalogue_.Plugins();
    std::vector<bool> used(slots.size(), false);
    for (const FileEntry& e : catalogue_.Entries())
        if (e.scheme >= 0x80 && static_cast<size_t>(e.scheme - 0x80) < slots.size()) used[e.scheme - 0x80] = true;
    slotMap_.assign(128, 0);
    for (size_t k = 0; k < slots.size(); ++k) {
        if (!used[k]) continue;
        slotMap_[k] = static_cast<uint8_t>(plugins_.size());
        plugins_.push_back(slots[k]);
    }
}

bool Writing::WriteTables(const FolderNumbering& numbering)
{
    const bool isProtected = keys_.IsProtected();
    const auto& entries = catalogue_.Entries();

    header_.flags = static_cast<uint8_t>(plugins_.size() | (isProtected ? kProtectedFlag : 0));
    header_.folderCount = static_cast<uint16_t>(numbering.images.size());
    header_.fileCount = static_cast<uint32_t>(entries.size());
    uint64_t tableSize = 0;
    for (const FileEntry& e : entries) tableSize += 16 + e.name.size();
    if (tableSize > 0xFFFFFFFFu) return Refuse(msg::kPackTooLarge);
    header_.entryTableSize = static_cast<uint32_t>(tableSize);

    scr_.Reset();
    if (!Put({reinterpret_cast<const uint8_t*>(kPackMagic.data()), 4}) || !PutU8(header_.version) ||
        !PutU8(scr_.Byte(header_.flags, 7)) || !PutU16(scr_.Word(header_.folderCount)) ||
        !PutDword(header_.fileCount) || !PutDword(header_.entryTableSize))
        return false;

    for (const PluginSlot& slot : plugins_) {
        if (!PutName(slot.providerName) || !PutName(slot.moduleFile) || !PutDword(slot.version)) return false;
    }
    if (isProtected && !PutCheckBlock(scr_.Byte(0) % 14 + 2)) return false;
    for (const FolderImage& folder : numbering.images) {
        if (!PutName(folder.name) || !PutU16(scr_.Word(folder.first)) || !PutU16(scr_.Word(folder.end)))
            return false;
    }
    if (isProtected && !PutCheckBlock(scr_.Byte(0) % 14 + 2)) return false;
    return true;
}

bool Writing::EncodeFile(const FileEntry& entry, ProductionPlace& place, StoredFile& out) const
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
                                                   EntryPackPath(folderPaths_, entry), out.encodeFault);
    if (status == EncodeStatus::Failed) return false;
    if (status == EncodeStatus::Declined || status == EncodeStatus::Refused || status == EncodeStatus::Broke)
        return true;
    if (storedLen > encoded->size()) return place.Refuse(Printf(msg::kUnknownScheme, Utf8(entry.name).c_str()));
    const bool smaller = status == EncodeStatus::Encoded && !(options_.fallbackToNone && storedLen >= n);
    const bool keep = smaller || (status == EncodeStatus::NotSmaller && !options_.fallbackToNone);
    if (!keep) return true;
    out.encoded = std::move(*encoded);
    out.encoded.Shrink(storedLen);
    out.stored = out.encoded.span();
    out.scheme = entry.scheme;
    out.plain = ByteBuffer();  // only the encoded bytes stay in flight
    return true;
}

bool Writing::ProduceFile(size_t index, ProductionPlace& place, StoredFile& out) const
{
    const FileEntry& entry = catalogue_.Entries()[index];
    const auto name = [&] { return Utf8(entry.name); };

    if (entry.FromPack()) {
        // Its scheme changed (unchanged ones are copied as they are): decoded
        // from the old pack, then encoded again.
        const StoredCopy copy = CopyOf(index);
        if (!OpenOldPack(place, index)) return false;
        ByteBuffer stored;
        switch (place.oldPack.ReadStored(copy, current_.keys, stored)) {
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
        return EncodeFile(entry, place, out);
    }

    // Most small files are as long as when they were added: they are read
    // with one call, their length taken as known. Any other outcome
    // (another length, no longer a plain file) takes the checked way below,
    // which tells why.
    if (routes_[index] == Route::Produced && entry.fileSize < kStreamedFileBytes) {
        File quick;
        std::optional<ByteBuffer> plain;
        if (place.sources.OpenReadUnsized(quick, entry.sourcePath) && (plain = ByteBuffer::Allocate(entry.fileSize)) &&
            quick.ReadToEnd(plain->span()) == File::WholeRead::Ok) {
            out.fileSize = entry.fileSize;
            out.plain = std::move(*plain);
            return EncodeFile(entry, place, out);
        }
    }
    File source;
    uint64_t length = 0;
    if (!place.sources.OpenRead(source, entry.sourcePath, &length))
        return place.Refuse(Printf(msg::kReadFailed, name().c_str()) + source.Error());
    if (length >= kUnknownSize) return place.Refuse(Printf(msg::kFileTooLarge, name().c_str()));
    out.fileSize = static_cast<uint32_t>(length);
    if ((routes_[index] == Route::FromSource || routes_[index] == Route::EncodedFromSource) &&
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
    return EncodeFile(entry, place, out);
}

StoredCopy Writing::CopyOf(size_t index) const
{
    const FileEntry& entry = catalogue_.Entries()[index];
    return entry.IsCarriedOver() ? catalogue_.Records()[index].Location() : *entry.copyOf;
}

// The old pack's bytes come from the very file that was read, through a
// descriptor of the place's own.
bool Writing::OpenOldPack(ProductionPlace& place, size_t index) const
{
    if (place.oldPack.IsOpen()) return true;
    const std::string name = Utf8(catalogue_.Entries()[index].name);
    if (!current_.file) return place.Refuse(Printf(msg::kReadFailed, name.c_str()));
    if (place.oldPack.Open(*current_.file)) return true;
    return place.Refuse(Printf(msg::kReadFailed, name.c_str()) + place.oldPack.Error());
}

bool Writing::CarriesFromPack() const
{
    const auto& entries = catalogue_.Entries();
    return std::any_of(entries.begin(), entries.end(), [](const FileEntry& e) { return e.FromPack(); });
}

// Decides how every file gets into the pack, and which files are made on the
// writing thread: those copied there, and those whose scheme (or, for a file
// re-encoded from the old pack, whose old scheme) is bound to one thread.
void Writing::PlanRoutes()
{
    const auto& entries = catalogue_.Entries();
    std::array<bool, 256> anyThread{};
    for (unsigned s = 0; s < 256; ++s) anyThread[s] = coder_.ThreadSafe(static_cast<uint8_t>(s));
    routes_.resize(entries.size());
    onCaller_.resize(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const FileEntry& entry = entries[i];
        if (entry.FromPack()) {
            const uint8_t oldScheme = CopyOf(i).scheme;
            routes_[i] = entry.scheme == oldScheme ? Route::FromPack : Route::Produced;
            onCaller_[i] = routes_[i] == Route::FromPack || !anyThread[entry.scheme] || !anyThread[oldScheme];
        } else if (entry.scheme == 0) {
            routes_[i] = entry.fileSize >= kStreamedFileBytes ? Route::FromSource : Route::Produced;
            onCaller_[i] = routes_[i] == Route::FromSource;
        } else {
            routes_[i] = entry.fileSize >= kStreamEncodedBytes && coder_.Streams(entry.scheme)
                             ? Route::EncodedFromSource
                             : Route::Produced;
            onCaller_[i] = routes_[i] == Route::EncodedFromSource || !anyThread[entry.scheme];
        }
    }
}

// The memory a file holds while it is made, at least a page: its bytes, and
// the encoded (or the stored) bytes beside them while it is encoded (decoded).
uint64_t Writing::Weight(size_t index) const
{
    const FileEntry& entry = catalogue_.Entries()[index];
    const uint64_t size = entry.fileSize;
    uint64_t weight = entry.scheme == 0 ? size : 2 * size;
    if (entry.FromPack()) weight = std::max<uint64_t>(size, CopyOf(index).storedSize) + size;
    return std::max<uint64_t>(weight, 4096);
}

ProducedFile Writing::Produce(size_t index, ProductionPlace& place) const
{
    ProducedFile produced;
    produced.ok = ProduceFile(index, place, produced.file);
    if (produced.ok && !produced.file.streamed.IsOpen()) ScrambleFileData(produced.file.stored, keys_.streamKey);
    produced.messages = place.TakeMessages();
    return produced;
}

void Writing::ShowProcessing(size_t index)
{
    if (!prompt_.ShowsProgressText()) return;
    const FileEntry& entry = catalogue_.Entries()[index];
    const std::string source = entry.FromPack() ? PackedSourceText(entry.name) : entry.sourcePath;
    prompt_.ProgressText(Printf(msg::kSaveProcessing, source.c_str(), Utf8(entry.name).c_str()));
}

bool Writing::StartRecord(size_t index, uint64_t offset, uint32_t fileSize, uint64_t storedSize, uint8_t scheme)
{
    if (offset + storedSize > 0xFFFFFFFFu) return Refuse(msg::kPackTooLarge);
    const FileEntry& entry = catalogue_.Entries()[index];
    PackRecord& r = records_[index];
    r.name = entry.name;
    r.folderId = entry.folderId == 0 ? 0 : numbering_->newIds.at(entry.folderId);
    r.dataOffset = static_cast<uint32_t>(offset);
    r.fileSize = fileSize;
    r.storedSize = static_cast<uint32_t>(storedSize);
    r.scheme = WrittenScheme(scheme);
    return true;
}

// Copies a range into the pack at its end; a failure to read is told as one
// of the file `reading` (the one the copy had reached by then).
bool Writing::PutRange(File& from, const RangeCopy& range, const size_t& reading)
{
    CopyStatus status = CopyStatus::Ok;
    std::string error;
    const bool ok = out_.Fill([&](File& file) {
        status = CopyRange(from, file, range, scratch_.span(), error);
        return status == CopyStatus::Ok;
    });
    if (ok) return true;
    failed_ = true;
    const std::string name = Utf8(catalogue_.Entries()[reading].name);
    switch (status) {
        case CopyStatus::SourceEnded:
            return Refuse(
                Printf(routes_[reading] == Route::FromPack ? msg::kDataOutsidePack : msg::kFileChanged, name.c_str()));
        case CopyStatus::ReadFailed:
            return Refuse(Printf(msg::kReadFailed, name.c_str()));
        case CopyStatus::Ok:
        case CopyStatus::WriteFailed:
            break;
    }
    return Refuse(Printf(msg::kWriteFailed, out_.TargetPath().c_str(), (error.empty() ? out_.Error() : error).c_str()));
}

// A large file from disk stored as it is, copied from its source; the length
// it had when it was opened is what is stored, and it must not grow.
bool Writing::PutStreamed(size_t index, StoredFile& file)
{
    RangeCopy range;
    range.length = file.fileSize;
    if (keys_.IsProtected())
        range.transform = [this](std::span<uint8_t> piece, uint64_t at) {
            ScrambleFileData(piece, keys_.streamKey, static_cast<unsigned>(at & 15));
        };
    const uint64_t start = out_.Position();
    range.progress = [&](uint64_t done) { prompt_.ProgressBytes(start + done); };
    if (!PutRange(file.streamed, range, index)) return false;
    if (HasByteAt(file.streamed, file.fileSize))
        return Refuse(Printf(msg::kFileChanged, Utf8(catalogue_.Entries()[index].name).c_str()));
    return true;
}

// Takes an encoding made while its file is read into the pack: codes and the
// literals of the window in hand from memory, literals of earlier windows
// copied from the source again (in the kernel where they can), all scrambled
// on their way when the pack is protected.
class Writing::EncodedOutput : public IStreamOutput {
public:
    EncodedOutput(Writing& writing, size_t index, File& source)
        : writing_(writing), index_(index), source_(source)
    {
    }
    void SetWindow(uint64_t start, std::span<const uint8_t> window)
    {
        windowStart_ = start;
        window_ = window;
    }
    bool Failed() const { return failed_; }
    // From now on only the length of the encoding counts: nothing is written.
    void MeasureOnly() { measuring_ = true; }
    bool Measuring() const { return measuring_; }

    bool Codes(std::span<const uint8_t> codes) override { return measuring_ || Append(codes); }
    bool Literals(uint64_t end, uint64_t count) override
    {
        if (measuring_) return true;
        const uint64_t begin = end - count;
        if (begin < windowStart_) {
            RangeCopy range;
            range.offset = begin;
            range.length = std::min(end, windowStart_) - begin;
            const uint64_t at = written_;
            if (writing_.keys_.IsProtected())
                range.transform = [this, at](std::span<uint8_t> piece, uint64_t done) {
                    ScrambleFileData(piece, writing_.keys_.streamKey, static_cast<unsigned>((at + done) & 15));
                };
            if (!writing_.PutRange(source_, range, index_)) return Fail();
            written_ += range.length;
        }
        if (end <= windowStart_) return true;
        const uint64_t from = std::max(begin, windowStart_) - windowStart_;
        return Append(window_.subspan(static_cast<size_t>(from), static_cast<size_t>(end - windowStart_ - from)));
    }

private:
    bool Fail()
    {
        failed_ = true;
        return false;
    }
    // Scrambled through the copy buffer, when the pack is protected.
    bool Append(std::span<const uint8_t> bytes)
    {
        if (!writing_.keys_.IsProtected()) {
            written_ += bytes.size();
            return writing_.Put(bytes) || Fail();
        }
        const std::span<uint8_t> stage = writing_.scratch_.span();
        while (!bytes.empty()) {
            const size_t n = std::min(bytes.size(), stage.size());
            std::memcpy(stage.data(), bytes.data(), n);
            if (!writing_.PutScrambled(stage.first(n), written_)) return Fail();
            written_ += n;
            bytes = bytes.subspan(n);
        }
        return true;
    }

    Writing& writing_;
    size_t index_;
    File& source_;
    uint64_t windowStart_ = 0;
    std::span<const uint8_t> window_;
    uint64_t written_ = 0;  // the stored bytes given to the pack
    bool failed_ = false;
    bool measuring_ = false;
};

// Encodes a large file as it is read from its source, window by window,
// reading the next window while one is encoded. When the save stores files
// as they are where their encoding is not smaller, an encoding whose first
// window does not shrink is only measured from then on: most such files are
// stored so, and their own bytes go into the pack instead, each window while
// it is in memory.
Writing::Pass Writing::EncodeWindows(size_t index, StoredFile& file, bool mayMeasure)
{
    const uint64_t start = out_.Position();
    const auto name = [&] { return Utf8(catalogue_.Entries()[index].name); };
    EncodedOutput output(*this, index, file.streamed);
    const std::unique_ptr<IStreamEncoder> encoder = coder_.StreamEncoder(catalogue_.Entries()[index].scheme, output);
    if (!encoder) return Pass::AsItIs;
    const size_t windowBytes = encoder->WindowBytes();
    for (ByteBuffer& buffer : windows_) {
        if (buffer.size() >= windowBytes) continue;
        std::optional<ByteBuffer> window = ByteBuffer::Allocate(windowBytes);
        if (!window) {
            Refuse(msg::kOutOfMemory);
            return Pass::Failed;
        }
        buffer = std::move(*window);
    }
    const auto windowAt = [&](uint64_t at) {
        return windows_[(at / windowBytes) % 2].span().first(
            static_cast<size_t>(std::min<uint64_t>(windowBytes, file.fileSize - at)));
    };
    struct ReadFault {
        const char* message = nullptr;  // none: the window was read
        std::string detail;
    };
    const auto read = [&file](uint64_t at, std::span<uint8_t> window) {
        if (file.streamed.ReadAt(at, window)) return ReadFault{};
        uint64_t now = 0;
        if (file.streamed.Size(now) && now < at + window.size()) return ReadFault{msg::kFileChanged, {}};
        return ReadFault{msg::kReadFailed, file.streamed.Error()};
    };
    std::future<ReadFault> reading = std::async(std::launch::async, read, 0, windowAt(0));
    bool encoding = true;
    for (uint64_t at = 0; encoding && at < file.fileSize;) {
        const std::span<uint8_t> window = windowAt(at);
        const ReadFault fault = reading.get();
        if (fault.message) {
            Refuse(Printf(fault.message, name().c_str()) + fault.detail);
            return Pass::Failed;
        }
        const uint64_t next = at + window.size();
        if (next < file.fileSize) reading = std::async(std::launch::async, read, next, windowAt(next));
        output.SetWindow(at, window);
        encoding = encoder->Add(window);
        if (output.Failed()) return Pass::Failed;
        if (at == 0 && mayMeasure && options_.fallbackToNone && encoder->Length() >= window.size()) {
            if (!DropWrittenFrom(start)) return Pass::Failed;
            output.MeasureOnly();
        }
        if (output.Measuring() && !PutScrambled(window, at)) return Pass::Failed;
        at = next;
        prompt_.ProgressBytes(out_.Position());
    }
    if (reading.valid()) reading.wait();
    if (options_.fallbackToNone && encoder->Length() >= file.fileSize)
        return encoding && output.Measuring() ? Pass::StoredAsIs : Pass::AsItIs;
    if (!encoding) return Pass::AsItIs;
    if (output.Measuring()) return Pass::Again;
    if (!encoder->Finish()) return output.Failed() ? Pass::Failed : Pass::AsItIs;
    return Pass::Encoded;
}

// A large file encoded as it is read. It is stored as it is when its
// encoding would not be smaller (and the save wants that) or the encoder
// gives up on it; what was written of the encoding is then dropped again.
bool Writing::PutEncodedStream(size_t index, StoredFile& file)
{
    const uint64_t start = out_.Position();
    Pass pass = EncodeWindows(index, file, true);
    if (pass == Pass::Again) pass = DropWrittenFrom(start) ? EncodeWindows(index, file, false) : Pass::Failed;
    uint8_t scheme = catalogue_.Entries()[index].scheme;
    switch (pass) {
    case Pass::Failed:
    case Pass::Again: return false;
    case Pass::AsItIs:
        return DropWrittenFrom(start) && StartRecord(index, start, file.fileSize, file.fileSize, 0) &&
               PutStreamed(index, file);
    case Pass::StoredAsIs: scheme = 0; break;
    case Pass::Encoded: break;
    }
    if (HasByteAt(file.streamed, file.fileSize))
        return Refuse(Printf(msg::kFileChanged, Utf8(catalogue_.Entries()[index].name).c_str()));
    return StartRecord(index, start, file.fileSize, out_.Position() - start, scheme);
}

// Writes a file's stored bytes from position `at` of the file, scrambling
// them in place first when the pack is protected.
bool Writing::PutScrambled(std::span<uint8_t> stored, uint64_t at)
{
    if (keys_.IsProtected()) ScrambleFileData(stored, keys_.streamKey, static_cast<unsigned>(at & 15));
    return Put(stored);
}

bool Writing::DropWrittenFrom(uint64_t start)
{
    if (out_.TruncateTo(start)) return true;
    failed_ = true;
    return Refuse(Printf(msg::kWriteFailed, out_.TargetPath().c_str(), out_.Error().c_str()));
}

// Copies the stored bytes of the entries from `first` on that lie back to
// back in the old pack, all in one go: in the kernel when the key stays,
// else re-scrambled piece by piece (each file's key restarts at its first
// byte). Returns the index after them, or nothing after a reported failure.
std::optional<size_t> Writing::CopyFromPack(size_t first, ProductionPlace& here)
{
    const auto& entries = catalogue_.Entries();
    if (!OpenOldPack(here, first)) return std::nullopt;
    const uint64_t base = out_.Position();
    const StoredCopy head = CopyOf(first);
    std::vector<uint64_t> starts;  // of each file, from the start of the run
    uint64_t length = 0;
    size_t end = first;
    for (; end < entries.size() && routes_[end] == Route::FromPack; ++end) {
        const StoredCopy copy = CopyOf(end);
        if (end > first && (copy.dataOffset != head.dataOffset + length || !here.oldPack.Contains(copy))) break;
        if (!here.oldPack.Contains(copy)) {
            Refuse(Printf(msg::kDataOutsidePack, Utf8(entries[end].name).c_str()));
            return std::nullopt;
        }
        if (!StartRecord(end, base + length, copy.fileSize, copy.storedSize, copy.scheme)) return std::nullopt;
        starts.push_back(length);
        length += copy.storedSize;
    }

    std::array<uint8_t, 16> change{};
    for (size_t k = 0; k < change.size(); ++k) change[k] = current_.keys.streamKey[k] ^ keys_.streamKey[k];
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
    ShowProcessing(first);
    const auto passTo = [&](uint64_t done) {
        const size_t before = current;
        for (; current < end && fileEnd(current) <= done; ++current) prompt_.ProgressStep();
        if (current != before && current < end) ShowProcessing(current);
    };
    range.progress = [&](uint64_t done) {
        passTo(done);
        prompt_.ProgressBytes(base + done);
    };
    if (!PutRange(here.oldPack.Handle(), range, current)) return std::nullopt;
    passTo(length);
    prompt_.ProgressBytes(out_.Position());
    return end;
}

bool Writing::PutProduced(size_t index, ProducedFile& produced)
{
    ShowMessages(produced.messages, prompt_);
    if (!produced.ok) return false;
    StoredFile& file = produced.file;
    if (file.streamed.IsOpen() && routes_[index] == Route::EncodedFromSource) {
        if (!PutEncodedStream(index, file)) return false;
    } else {
        const uint64_t storedSize = file.streamed.IsOpen() ? file.fileSize : file.stored.size();
        if (!StartRecord(index, out_.Position(), file.fileSize, storedSize, file.scheme)) return false;
        if (!(file.streamed.IsOpen() ? PutStreamed(index, file) : Put(file.stored))) return false;
    }
    if (!file.encodeFault.empty()) storedUnencoded_.push_back(std::move(file.encodeFault));
    prompt_.ProgressStep();
    prompt_.ProgressBytes(out_.Position());
    return true;
}

// What a job throws on a worker comes here with its result, and what a
// step of the writing throws goes no further: either fails the save.
bool Writing::WriteData()
try {
    const auto& entries = catalogue_.Entries();
    records_.resize(entries.size());
    PlanRoutes();
    std::optional<ByteBuffer> scratch = ByteBuffer::Allocate(kStreamPiece);
    if (!scratch) return Refuse(msg::kOutOfMemory);
    scratch_ = std::move(*scratch);

    // Files are read, encoded and scrambled on all cores, and written here in
    // entry order: the pack is the same byte for byte as a one-thread write.
    // The files in flight together hold at most the budget: one largest file
    // with its encoding per thread, and never less than the least budget.
    const size_t threads = options_.threads ? options_.threads : std::max(1u, std::thread::hardware_concurrency());
    uint64_t largest = 0;
    for (size_t i = 0; i < entries.size(); ++i)
        if (routes_[i] == Route::Produced) largest = std::max(largest, Weight(i));
    ProductionPlace here(prompt_, coder_);
    OrderedPipeline<ProducedFile, ProductionPlace>::Jobs jobs;
    jobs.count = entries.size();
    jobs.onCaller = [this](size_t i) { return onCaller_[i]; };
    jobs.weight = [this](size_t i) { return Weight(i); };
    jobs.work = [this](size_t i, ProductionPlace& place) { return Produce(i, place); };
    OrderedPipeline<ProducedFile, ProductionPlace> pipeline(std::move(jobs), threads,
                                                            std::max(threads * largest, kLeastBudget),
                                                            [this] { return std::make_unique<WorkerPlace>(coder_); });

    for (size_t i = 0; i < entries.size();) {
        if (routes_[i] == Route::FromPack) {
            const std::optional<size_t> next = CopyFromPack(i, here);
            if (!next) return false;
            i = *next;
            continue;
        }
        ShowProcessing(i);
        if (!PutProduced(i, pipeline.Take(i, here))) return false;
        ++i;
    }
    return true;
} catch (...) {
    return Refuse(ThrownErrorText(std::current_exception()));
}

bool Writing::WriteEntryTable()
{
    if (keys_.IsProtected()) {
        unsigned length;
        do {
            length = scr_.Byte(0) & 0x0F;
        } while (length == 0);
        if (!PutCheckBlock(length)) return false;
    }
    for (const PackRecord& r : records_) {
        if (!PutName(r.name) || !PutDword(r.dataOffset) || !PutDword(r.fileSize) || !PutDword(r.storedSize) ||
            !PutU16(scr_.Word(r.folderId)) || !PutU8(scr_.Byte(r.scheme)))
            return false;
    }
    return true;
}

PackState Writing::Apply(const std::string& target, FolderNumbering& numbering)
{
    for (size_t i = 0; i < numbering.folders.size(); ++i) numbering.folders[i]->id = static_cast<uint16_t>(i + 1);
    catalogue_.SetFolderCounter(static_cast<uint16_t>(numbering.folders.size()));
    catalogue_.ReplacePlugins(std::move(plugins_));
    catalogue_.ReplaceRecords(std::move(records_));
    catalogue_.EntriesFromRecords();

    // The table images are released at the end of a write.
    PackState state;
    state.header = header_;
    state.keys = keys_;
    state.title = GetPackTitle(target);
    state.path = target;
    catalogue_.Root().name = Utf8ToGbkLossy(state.title);
    return state;
}

std::optional<PackState> Writing::Run(const std::string& target)
{
    CompactPlugins();
    if (!CheckLimits()) return std::nullopt;
    FolderNumbering numbering = BuildFolderTable(catalogue_.Root());
    numbering_ = &numbering;
    folderPaths_ = FolderPathsById(catalogue_);
    header_.version = current_.header.version;

    // Files are carried over only from the pack as it was read.
    const bool carries = CarriesFromPack();
    const auto packIntact = [&] {
        if (!carries || (current_.file && current_.file->Unchanged())) return true;
        return Refuse(Printf(msg::kPackRewritten, current_.path.c_str()));
    };
    SaveTarget place;
    if (!place.Prepare(target, current_.file, options_.replaceConfirmed, options_.lockWait, prompt_) ||
        !packIntact())
        return std::nullopt;
    if (!out_.Open(target)) {
        Refuse(Printf(msg::kWriteFailed, target.c_str(), out_.Error().c_str()));
        return std::nullopt;
    }

    prompt_.ProgressBegin(static_cast<uint32_t>(catalogue_.Entries().size()));
    prompt_.ProgressText(msg::kSaveCollecting);
    bool ok = WriteTables(numbering) && WriteData();
    if (ok) {
        prompt_.ProgressText(msg::kSaveFinishing);
        ok = WriteEntryTable();
    }
    if (ok && options_.beforeCommit) ok = options_.beforeCommit();
    File written;
    if (ok) {
        SafeFileWriter::CommitRules rules;
        // Reported by the checks themselves.
        bool checked = true;
        rules.lastCheck = [&] { return checked = place.StillAsPrepared(prompt_) && packIntact(); };
        rules.replaceNothing = place.ExpectsNothing();
        rules.keep = &written;
        if (!out_.Commit(rules)) ok = checked && Refuse(Printf(msg::kWriteFailed, target.c_str(), out_.Error().c_str()));
    }
    prompt_.ProgressEnd();
    if (!ok) {
        out_.Abandon();
        return std::nullopt;
    }
    std::string error;
    std::shared_ptr<HeldPack> held = HeldPack::Adopt(std::move(written), target, error);
    // Told once the pack is in place, while the catalogue still matches
    // what the views show.
    if (!storedUnencoded_.empty()) {
        std::string lines;
        for (const std::string& fault : storedUnencoded_) lines += (lines.empty() ? "" : "\n") + fault;
        prompt_.Tell(Printf(msg::kStoredUnencoded, lines.c_str()), MsgIcon::Warning);
    }
    PackState state = Apply(target, numbering);
    state.file = std::move(held);
    return state;
}

}  // namespace

std::optional<PackState> WritePack(const std::string& target, const KeySchedule& keys, Catalogue& catalogue,
                                   const PackState& current, ISchemeCoder& coder, IPrompt& prompt,
                                   const StoreOptions& options)
{
    return Writing(catalogue, current, coder, prompt, options, keys).Run(target);
}

}  // namespace tarvex
