#include "schemes/EntryContent.h"

#include <algorithm>

#include "base/ByteBuffer.h"
#include "platform/FileIo.h"
#include "schemes/Extraction.h"
#include "talk/Messages.h"

namespace tarvex {
namespace {

constexpr size_t kCopyPiece = 1 << 20;

const FileEntry* EntryAt(const CPackArchive& archive, size_t index)
{
    const auto& entries = archive.GetCatalogue().Entries();
    return index < entries.size() ? &entries[index] : nullptr;
}

bool OpenSource(File& file, const std::string& path, uint64_t& size, IPrompt& prompt)
{
    if (file.OpenRead(path, &size)) return true;
    prompt.Tell(Printf(msg::kCannotOpenFile, path.c_str(), file.Error().c_str()),
                file.RefusedType() ? MsgIcon::Warning : MsgIcon::Error);
    return false;
}

}  // namespace

std::optional<EntryHead> ReadEntryHead(const CPackArchive& archive, size_t index, size_t limit, IPrompt& prompt,
                                       const PluginHost& plugins)
{
    const FileEntry* entry = EntryAt(archive, index);
    if (!entry) return std::nullopt;
    EntryHead head;
    PackExtractor extractor(archive, prompt, plugins);
    if (extractor.HasStoredBytes(index)) {
        if (!extractor.Open()) return std::nullopt;
        bool full = false;
        const bool read = extractor.ForEachPiece(index, [&](std::span<const uint8_t> piece) {
            head.fileSize += piece.size();
            const size_t room = limit - head.bytes.size();
            head.bytes.insert(head.bytes.end(), piece.begin(), piece.begin() + std::min(room, piece.size()));
            full = head.bytes.size() == limit;
            return !full;
        });
        if (!read && !full) return std::nullopt;
        // A file read no further than the limit: its size is the record's.
        if (full) head.fileSize = std::max<uint64_t>(head.fileSize, entry->fileSize);
        return head;
    }
    File file;
    if (!OpenSource(file, entry->sourcePath, head.fileSize, prompt)) return std::nullopt;
    head.bytes.resize(static_cast<size_t>(std::min<uint64_t>(head.fileSize, limit)));
    if (!file.ReadAll(head.bytes)) {
        prompt.Tell(Printf(msg::kReadFailed, entry->sourcePath.c_str()) + file.Error(), MsgIcon::Error);
        return std::nullopt;
    }
    return head;
}

bool CopyEntryOut(const CPackArchive& archive, size_t index, const std::string& targetPath, IPrompt& prompt,
                  const PluginHost& plugins)
{
    const FileEntry* entry = EntryAt(archive, index);
    if (!entry) return false;
    PackExtractor extractor(archive, prompt, plugins);
    if (extractor.HasStoredBytes(index)) return extractor.Open() && extractor.ExtractTo(index, targetPath);
    return CopyDiskFile(entry->sourcePath, targetPath, prompt);
}

bool CopyDiskFile(const std::string& sourcePath, const std::string& targetPath, IPrompt& prompt, uint64_t* copied)
{
    File source;
    uint64_t size = 0;
    if (!OpenSource(source, sourcePath, size, prompt)) return false;
    std::string name;
    const std::shared_ptr<const DiskFolder> folder = FolderOfPath(targetPath, name, prompt);
    if (!folder) return false;
    std::vector<uint8_t> piece(static_cast<size_t>(std::min<uint64_t>(size, kCopyPiece)));
    const auto fill = [&](File& out, std::string& error) {
        for (uint64_t done = 0; done < size;) {
            const size_t length = static_cast<size_t>(std::min<uint64_t>(piece.size(), size - done));
            const std::span<uint8_t> part(piece.data(), length);
            if (!source.ReadAll(part)) {
                error = Printf(msg::kReadFailed, sourcePath.c_str()) + source.Error();
                return Filled::WriteFailed;
            }
            if (!out.WriteAll(part)) return Filled::WriteFailed;
            done += length;
        }
        return Filled::Ok;
    };
    if (!WriteNewFile(*folder, name, fill, prompt)) return false;
    if (copied) *copied = size;
    return true;
}

}  // namespace tarvex
