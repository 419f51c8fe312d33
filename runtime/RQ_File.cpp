#include "runtime/RQ_File.h"

#include <algorithm>
#include <string>

#include "base/GbkText.h"
#include "platform/FileIo.h"
#include "platform/SafeFileWriter.h"
#include "runtime/CallerText.h"
#include "runtime/DiskFile.h"
#include "runtime/LoosePath.h"
#include "runtime/RuntimeMessages.h"
#include "runtime/RuntimePack.h"
#include "runtime/RuntimePrompt.h"
#include "talk/Messages.h"

namespace tarvex {
namespace {

// A caller's pack path as messages show it: UTF-8 stays, GBK is converted.
std::string ShownPackPath(std::string_view text)
{
    return Utf8ToGbk(text) ? std::string(text) : GbkToUtf8Lossy(text);
}

}  // namespace

struct CRQ_File::State {
    enum class Source { None, Packed, Disk };

    RuntimePrompt prompt;
    bool externalLookup = false;
    std::string externalPath;  // empty: the folder holding the pack

    std::unique_ptr<RuntimePack> pack;
    std::string packFolder;

    // The file GetLength and Read refer to.
    Source source = Source::None;
    size_t entry = 0;  // Packed
    File disk;         // Disk: a loose file or a plain file opened for reading
    std::string name;  // for messages
    uint32_t length = 0;
    std::optional<ByteBuffer> decoded;  // Packed: a coded file, decoded when located, until a Read
    bool failureReported = false;  // why nothing is selected was told; Read stays quiet

    std::unique_ptr<SafeFileWriter> writer;
    std::string writerName;
    uint64_t written = 0;

    ByteBuffer data;
    char emptyText[1] = {'\0'};

    void Report(const std::string& text) { prompt.Tell(text, MsgIcon::Error); }

    void Deselect()
    {
        source = Source::None;
        disk.Close();
        name.clear();
        length = 0;
        decoded.reset();
        failureReported = false;
    }

    // After a failure that was told: nothing selected, and a Read says no
    // more about it.
    void Forget()
    {
        Deselect();
        failureReported = true;
    }

    // Puts a file being written in place, forgets the pack and the selection.
    void Close()
    {
        if (writer && !writer->Commit(/*durable=*/true))
            Report(Printf(msg::kWriteFailed, writerName.c_str(), writer->Error().c_str()));
        writer.reset();
        written = 0;
        pack.reset();
        Deselect();
        data = ByteBuffer();
    }

    bool OpenPack(const std::string& path, const char* password)
    {
        auto opened = std::make_unique<RuntimePack>(prompt);
        if (!opened->Open(path, PasswordReadings(password))) return false;
        pack = std::move(opened);
        packFolder = FolderOf(path);
        return true;
    }

    bool OpenForReading(const std::string& path)
    {
        if (OpenDiskFile(path, disk, length, prompt, /*missingIsError=*/true) != DiskOpen::Opened) return false;
        source = Source::Disk;
        name = path;
        return true;
    }

    bool OpenForWriting(const std::string& path)
    {
        // Refused now rather than when the finished file fails to take its place.
        if (const char* reason = NotARegularFile(path)) {
            Report(Printf(msg::kCannotWriteTarget, path.c_str(), reason));
            return false;
        }
        auto opened = std::make_unique<SafeFileWriter>();
        if (!opened->Open(path)) {
            Report(Printf(msg::kCannotWriteTarget, path.c_str(), opened->Error().c_str()));
            return false;
        }
        writer = std::move(opened);
        writerName = path;
        return true;
    }

    // Selects the loose file for a pack path when external lookup finds one.
    bool LocateLoose(std::string_view text, const std::vector<std::string>& components, const std::string& shown)
    {
        const std::string& root = externalPath.empty() ? packFolder : externalPath;
        const LoosePath loose = LooseFilePath(root, text, components);
        if (loose.lookup == LooseLookup::Unsafe) {
            prompt.Tell(Printf(msg::kUnsafeExternalPath, shown.c_str()), MsgIcon::Warning);
            return false;
        }
        if (loose.lookup != LooseLookup::Path) return false;
        if (OpenDiskFile(loose.path, disk, length, prompt, /*missingIsError=*/false) != DiskOpen::Opened) return false;
        source = Source::Disk;
        name = loose.path;
        return true;
    }

    bool Locate(std::string_view text)
    {
        const std::string shown = ShownPackPath(text);
        if (!pack) {
            Report(Printf(msg::kNoPackOpen, shown.c_str()));
            return false;
        }
        const PathReading path = pack->Resolve(text);
        if (path.ambiguous) {
            Report(Printf(msg::kAmbiguousPath, pack->Path().c_str(), GbkToUtf8Lossy(text).c_str(), shown.c_str()));
            return false;
        }
        if (externalLookup && LocateLoose(text, path.components, shown)) return true;
        const std::optional<size_t> found = path.entry;
        if (!found) {
            Report(Printf(msg::kNotInPack, pack->Path().c_str(), shown.c_str()));
            return false;
        }
        if (!pack->StoredInside(*found)) {
            Report(Printf(msg::kDataOutsidePack, shown.c_str()));
            return false;
        }
        // Refused now, so that GetLength never gives a size no read can have.
        if (!pack->Admit(*found, decoded)) return false;
        source = Source::Packed;
        entry = *found;
        length = pack->FileSize(*found);
        name = shown;
        return true;
    }

    // The selected file's first `count` bytes and a zero byte, in a buffer of
    // the object's own. A packed file is decoded first: its buffer is made
    // only for a size the stream can really have.
    bool Load(uint32_t count, ByteBuffer& out)
    {
        if (source == Source::Packed) {
            if (decoded) {
                out = std::move(*decoded);
                decoded.reset();
            } else if (!pack->Decode(entry, out)) {
                return false;
            }
            if (!out.Resize(size_t{count} + 1)) {
                Report(msg::kOutOfMemory);
                return false;
            }
            out.data()[count] = 0;
            return true;
        }
        std::optional<ByteBuffer> buffer = ByteBuffer::Allocate(size_t{count} + 1);
        if (!buffer) {
            Report(msg::kOutOfMemory);
            return false;
        }
        if (!Fill(buffer->data(), count)) return false;
        buffer->data()[count] = 0;
        out = std::move(*buffer);
        return true;
    }

    // Puts the selected file's first `count` bytes at out.
    bool Fill(uint8_t* out, uint32_t count)
    {
        switch (source) {
            case Source::None:
                if (writer) {
                    Report(Printf(msg::kOpenedForWriting, writerName.c_str()));
                } else if (!failureReported) {
                    Report(msg::kNothingToRead);
                }
                return false;
            case Source::Packed: {
                ByteBuffer bytes;
                if (!decoded && !pack->Decode(entry, bytes)) return false;
                const ByteBuffer& file = decoded ? *decoded : bytes;
                std::copy_n(file.data(), std::min<size_t>(count, file.size()), out);
                // The caller holds the bytes now; another Read decodes again.
                decoded.reset();
                return true;
            }
            case Source::Disk:
                if (disk.ReadAt(0, {out, count})) return true;
                Report(Printf(msg::kReadFailed, name.c_str()) + disk.Error());
                return false;
        }
        return false;
    }
};

CRQ_File::CRQ_File() : state_(std::make_unique<State>())
{
    m_pData = state_->emptyText;
}

CRQ_File::~CRQ_File()
{
    state_->Close();
}

void CRQ_File::EnableErrMSG(bool enable)
{
    state_->prompt.ShowMessages(enable);
}

void CRQ_File::EnableExt(bool enable)
{
    state_->externalLookup = enable;
}

void CRQ_File::SetExt(const char* path)
{
    state_->externalPath = path && *path ? CallerDiskPath(path) : "";
}

bool CRQ_File::Open(const char* name, bool forReading, bool isPack, const char* password)
{
    State& s = *state_;
    s.Close();
    m_pData = s.emptyText;
    if (!name || !*name || (isPack && !forReading)) {
        s.Report(name && *name ? Printf(msg::kPackReadOnly, name) : std::string(msg::kNoFileName));
        s.failureReported = true;
        return false;
    }
    const std::string path = CallerDiskPath(name);
    const bool ok = isPack ? s.OpenPack(path, password) : forReading ? s.OpenForReading(path) : s.OpenForWriting(path);
    s.failureReported = !ok;
    return ok;
}

bool CRQ_File::Locate(const char* path, const char* folder)
{
    State& s = *state_;
    s.Deselect();
    if (!path) {
        s.Report(msg::kNoFileName);
    } else if (s.Locate(folder && *folder ? std::string(folder) + "\\" + path : std::string(path))) {
        return true;
    }
    s.failureReported = true;
    return false;
}

uint32_t CRQ_File::GetLength() const
{
    const State& s = *state_;
    if (s.writer) return static_cast<uint32_t>(std::min<uint64_t>(s.written, 0xFFFFFFFFu));
    return s.length;
}

bool CRQ_File::Read(uint8_t** dest, uint32_t count)
{
    State& s = *state_;
    const uint32_t wanted = count == 0 ? s.length : std::min(count, s.length);
    if (dest && *dest) {
        const bool ok = s.Fill(*dest, wanted);
        (*dest)[ok ? wanted : 0] = 0;
        if (!ok) s.Forget();
        return ok;
    }
    ByteBuffer buffer;
    const bool ok = s.Load(wanted, buffer);
    s.data = ok ? std::move(buffer) : ByteBuffer();
    m_pData = ok ? reinterpret_cast<char*>(s.data.data()) : s.emptyText;
    if (dest) *dest = reinterpret_cast<uint8_t*>(m_pData);
    if (!ok) s.Forget();
    return ok;
}

bool CRQ_File::Write(const void* data, uint32_t count)
{
    State& s = *state_;
    if (!s.writer) {
        s.Report(msg::kNotOpenForWriting);
        return false;
    }
    if (count == 0) return true;
    if (!data) {
        s.Report(msg::kNoDataToWrite);
        return false;
    }
    if (!s.writer->Write({static_cast<const uint8_t*>(data), count})) {
        // The old file stays as it was: the unfinished one is dropped.
        s.Report(Printf(msg::kWriteFailed, s.writerName.c_str(), s.writer->Error().c_str()));
        s.writer.reset();
        s.written = 0;
        return false;
    }
    s.written += count;
    return true;
}

}  // namespace tarvex
