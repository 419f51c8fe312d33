#include "pack/PackReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/GbkText.h"
#include "base/SystemErrorText.h"
#include "catalogue/PackPaths.h"
#include "format/Scrambler.h"
#include "pack/FolderTable.h"
#include "platform/FileIo.h"
#include "talk/Messages.h"

namespace tarvex {
namespace {

// Reads a file through a window, refusing any read that would pass its end.
class BoundedReader {
public:
    BoundedReader(File& file, uint64_t length) : file_(file), length_(length) {}

    uint64_t Position() const { return pos_; }
    void Seek(uint64_t pos) { pos_ = pos; }
    bool Available(uint64_t count) const { return pos_ <= length_ && count <= length_ - pos_; }

    bool Read(void* out, size_t count)
    {
        if (!Available(count)) return false;
        auto* dst = static_cast<uint8_t*>(out);
        while (count > 0) {
            if (pos_ < windowStart_ || pos_ >= windowStart_ + window_.size()) {
                if (!Fill()) return false;
            }
            const size_t offset = static_cast<size_t>(pos_ - windowStart_);
            const size_t n = std::min(count, window_.size() - offset);
            std::memcpy(dst, window_.data() + offset, n);
            dst += n;
            pos_ += n;
            count -= n;
        }
        return true;
    }

    bool U8(uint8_t& v) { return Read(&v, 1); }
    bool U16(uint16_t& v)
    {
        uint8_t b[2];
        if (!Read(b, 2)) return false;
        v = static_cast<uint16_t>(b[0] | b[1] << 8);
        return true;
    }
    bool U32(uint32_t& v)
    {
        uint8_t b[4];
        if (!Read(b, 4)) return false;
        v = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
            static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
        return true;
    }

private:
    static constexpr size_t kWindow = 256 * 1024;

    bool Fill()
    {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(kWindow, length_ - pos_));
        window_.resize(n);
        windowStart_ = pos_;
        return file_.ReadAt(pos_, window_);
    }

    File& file_;
    uint64_t length_;
    uint64_t pos_ = 0;
    uint64_t windowStart_ = 0;
    std::vector<uint8_t> window_;
};

// The state of one read; nothing reaches the pack object before the end.
class Reading {
public:
    Reading(Catalogue& catalogue, IPrompt& prompt, File& file, uint64_t length)
        : catalogue_(catalogue), prompt_(prompt), in_(file, length), length_(length), scr_(KeySchedule{})
    {
    }

    std::optional<PackState> Run(const std::string& path);

private:
    // CheckAvailable: a short file means a wrong password in a protected pack.
    bool Short()
    {
        prompt_.Tell(header_.IsProtected() ? msg::kWrongPassword : msg::kDamaged, MsgIcon::Error);
        return false;
    }
    bool Damaged()
    {
        prompt_.Tell(msg::kDamaged, MsgIcon::Error);
        return false;
    }
    bool WrongPassword()
    {
        prompt_.Tell(msg::kWrongPassword, MsgIcon::Error);
        return false;
    }

    bool ReadHeader();
    bool ReadName(std::string& name);
    bool ReadModules();
    bool ReadFolders();
    bool CheckBlock(unsigned length);
    bool ReadEntries(unsigned thirdCheckLength, uint64_t tablesEnd);
    void AdoptOrphans(const std::vector<size_t>& orphans);
    void TellRepairs(const PackRepairs& repairs);

    Catalogue& catalogue_;
    IPrompt& prompt_;
    BoundedReader in_;
    uint64_t length_;
    KeySchedule keys_;
    Scrambler scr_;
    PackHeader header_;
    std::vector<ModuleImage> modules_;
    std::vector<FolderImage> folders_;
    std::vector<PackRecord> records_;
};

bool Reading::ReadHeader()
{
    uint8_t raw[16];
    if (!in_.Read(raw, sizeof raw)) {
        prompt_.Tell(msg::kNotAPack, MsgIcon::Error);
        return false;
    }
    std::memcpy(header_.magic.data(), raw, 4);
    header_.version = raw[4];
    header_.flags = raw[5];
    header_.folderCount = static_cast<uint16_t>(raw[6] | raw[7] << 8);
    header_.fileCount = static_cast<uint32_t>(raw[8]) | static_cast<uint32_t>(raw[9]) << 8 |
                        static_cast<uint32_t>(raw[10]) << 16 | static_cast<uint32_t>(raw[11]) << 24;
    header_.entryTableSize = static_cast<uint32_t>(raw[12]) | static_cast<uint32_t>(raw[13]) << 8 |
                             static_cast<uint32_t>(raw[14]) << 16 | static_cast<uint32_t>(raw[15]) << 24;

    // The password is asked before the magic is looked at.
    if (header_.IsProtected()) {
        const std::optional<PasswordBlocks> blocks = prompt_.AskPassword(PasswordMode::Enter);
        keys_ = MakeKeySchedule(blocks.value_or(PasswordBlocks{}));
        scr_ = Scrambler(keys_);
        header_.flags = scr_.Byte(header_.flags, 7);
        header_.folderCount = scr_.Word(header_.folderCount);
        header_.fileCount = scr_.Dword(header_.fileCount);
        header_.entryTableSize = scr_.Dword(header_.entryTableSize);
    }
    if (header_.magic != kPackMagic) {
        prompt_.Tell(msg::kNotAPack, MsgIcon::Error);
        return false;
    }
    if (header_.version > kPackVersion) prompt_.Tell(msg::kNewerVersion, MsgIcon::Warning);
    return true;
}

bool Reading::ReadName(std::string& name)
{
    uint8_t length;
    if (!in_.U8(length)) return Short();
    length = scr_.Byte(length);
    name.resize(length);
    if (!in_.Read(name.data(), length)) return Short();
    scr_.Name({reinterpret_cast<uint8_t*>(name.data()), name.size()});
    return true;
}

bool Reading::ReadModules()
{
    modules_.resize(header_.ModuleCount());
    for (ModuleImage& module : modules_) {
        if (!ReadName(module.providerName) || !ReadName(module.moduleFile)) return false;
        if (!in_.U32(module.version)) return Short();
        module.version = scr_.Dword(module.version);
    }
    return true;
}

bool Reading::CheckBlock(unsigned length)
{
    for (unsigned i = 0; i < length; ++i) {
        uint8_t b;
        if (!in_.U8(b)) return Short();
        if (b != scr_.NextCheckByte()) return WrongPassword();
    }
    return true;
}

bool Reading::ReadFolders()
{
    folders_.clear();
    for (unsigned i = 0; i < header_.folderCount; ++i) {
        FolderImage folder;
        if (!ReadName(folder.name)) return false;
        uint16_t first, end;
        if (!in_.U16(first) || !in_.U16(end)) return Short();
        folder.first = scr_.Word(first);
        folder.end = scr_.Word(end);
        folders_.push_back(std::move(folder));
    }
    return true;
}

bool Reading::ReadEntries(unsigned thirdCheckLength, uint64_t tablesEnd)
{
    // The entry table ends at the end of the file; the third check block sits
    // right before it, and neither may reach back into the tables.
    const uint64_t tail = uint64_t{header_.entryTableSize} + thirdCheckLength;
    if (tail > length_ - tablesEnd) return Short();
    in_.Seek(length_ - tail);
    if (header_.IsProtected() && !CheckBlock(thirdCheckLength)) return false;

    // Every record takes at least 16 bytes: a count the table cannot hold is
    // refused before anything is allocated for it.
    if (uint64_t{header_.fileCount} * 16 > header_.entryTableSize) return Short();
    records_.clear();
    records_.reserve(header_.fileCount);
    for (uint32_t i = 0; i < header_.fileCount; ++i) {
        PackRecord r;
        if (!ReadName(r.name)) return false;
        uint32_t offset, fileSize, storedSize;
        uint16_t folderId;
        uint8_t scheme;
        if (!in_.U32(offset) || !in_.U32(fileSize) || !in_.U32(storedSize) || !in_.U16(folderId) ||
            !in_.U8(scheme))
            return Short();
        r.dataOffset = scr_.Dword(offset);
        r.fileSize = scr_.Dword(fileSize);
        r.storedSize = scr_.Dword(storedSize);
        r.folderId = scr_.Word(folderId);
        r.scheme = scr_.Byte(scheme);
        // A size of all ones is the catalogue's "no stored copy" mark: no
        // writer can have stored such a file.
        if (r.fileSize == kUnknownSize || r.storedSize == kUnknownSize) return Damaged();
        records_.push_back(std::move(r));
    }
    return true;
}

// The entries without a folder go into a new top-level folder, after the
// table's own folders, with the next free ID.
void Reading::AdoptOrphans(const std::vector<size_t>& orphans)
{
    Folder& root = catalogue_.Root();
    const std::string base = Utf8ToGbkLossy(msg::kOrphanFolderName);
    std::string name = base;
    const auto taken = [&root](const std::string& n) {
        return std::any_of(root.children.begin(), root.children.end(), [&](const auto& c) { return c->name == n; });
    };
    for (int n = 2; taken(name); ++n) name = base + std::to_string(n);
    const auto id = static_cast<uint16_t>(folders_.size() + 1);
    catalogue_.InsertFolder(name, id, root);
    catalogue_.SetFolderCounter(id);
    for (size_t i : orphans) catalogue_.Entries()[i].folderId = id;
}

void Reading::TellRepairs(const PackRepairs& repairs)
{
    std::string text;
    const auto addLine = [&text](const std::string& line) { text += (text.empty() ? "" : "\n") + line; };
    if (!repairs.orphanEntries.empty()) {
        const Folder& orphans = *catalogue_.Root().children.back();
        addLine(Printf(msg::kOrphanEntries, repairs.orphanEntries.size(), GbkToUtf8Lossy(orphans.name).c_str()));
    }
    for (uint16_t id : repairs.repeatedFolderIds) {
        const Folder* folder = catalogue_.FolderById(id);
        addLine(Printf(msg::kRepeatedFolder, GbkToUtf8Lossy(PackPathOf(*folder)).c_str()));
    }
    if (!text.empty()) prompt_.Tell(text, MsgIcon::Warning);
}

std::optional<PackState> Reading::Run(const std::string& path)
{
    scr_.Reset();
    if (!ReadHeader() || !ReadModules()) return std::nullopt;
    if (header_.IsProtected() && !CheckBlock(scr_.Byte(0) % 14 + 2)) return std::nullopt;
    if (!ReadFolders()) return std::nullopt;

    unsigned thirdCheckLength = 0;
    if (header_.IsProtected()) {
        if (!CheckBlock(scr_.Byte(0) % 14 + 2)) return std::nullopt;
        // No byte key with a non-zero low nibble: the length search would
        // never end, and no writer could have used these keys.
        if (!CheckLengthFindable(keys_)) {
            WrongPassword();
            return std::nullopt;
        }
        do {
            thirdCheckLength = scr_.Byte(0) & 0x0F;
        } while (thirdCheckLength == 0);
    }
    if (!ReadEntries(thirdCheckLength, in_.Position())) return std::nullopt;

    // Everything is checked before the catalogue is touched: a folder table
    // that cannot be a tree leaves it as it was.
    const FolderTableWalk walk = WalkFolderTable(folders_);
    if (!walk.valid) {
        Damaged();
        return std::nullopt;
    }
    PackState state;
    for (size_t i = 0; i < records_.size(); ++i) {
        const uint16_t id = records_[i].folderId;
        if (id != 0 && !(id <= walk.reached.size() && walk.reached[id - 1])) state.repairs.orphanEntries.push_back(i);
    }
    state.repairs.repeatedFolderIds = walk.repeatedIds;

    state.title = GetPackTitle(path);
    state.path = path;
    Catalogue& catalogue = catalogue_;
    catalogue.Reset(Utf8ToGbkLossy(state.title));
    InsertFoldersFromTable(catalogue, folders_);
    std::vector<PluginSlot> plugins;
    for (const ModuleImage& m : modules_) plugins.push_back({m.providerName, m.moduleFile, m.version});
    catalogue.ReplacePlugins(std::move(plugins));
    catalogue.ReplaceRecords(std::move(records_));
    catalogue.EntriesFromRecords();
    if (!state.repairs.orphanEntries.empty()) AdoptOrphans(state.repairs.orphanEntries);
    TellRepairs(state.repairs);

    state.header = header_;
    state.modules = std::move(modules_);
    state.folders = std::move(folders_);
    state.keys = keys_;
    return state;
}

}  // namespace

std::optional<PackState> ReadPack(const std::shared_ptr<HeldPack>& file, Catalogue& catalogue, IPrompt& prompt)
{
    File reading;
    if (!file->Reopen(reading)) {
        prompt.Tell(Printf(msg::kCannotOpenFile, file->Path().c_str(), SystemErrorText(errno).c_str()), MsgIcon::Error);
        return std::nullopt;
    }
    std::optional<PackState> state = Reading(catalogue, prompt, reading, file->Length()).Run(file->Path());
    if (state) state->file = file;
    return state;
}

}  // namespace tarvex
