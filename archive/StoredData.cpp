#include "archive/StoredData.h"

#include <cerrno>

#include "archive/Messages.h"
#include "archive/Scrambler.h"
#include "archive/SystemErrorText.h"

namespace tarvex {

bool PackDataFile::Open(const HeldPack& pack)
{
    error_.clear();
    if (!pack.Unchanged()) {
        error_ = Printf(msg::kPackRewrittenRead, pack.Path().c_str());
        return false;
    }
    if (!pack.Reopen(file_)) {
        error_ = SystemErrorText(errno);
        return false;
    }
    length_ = pack.Length();
    return true;
}

ReadStatus PackDataFile::ReadStored(const StoredCopy& copy, const KeySchedule& keys, ByteBuffer& out)
{
    if (!Contains(copy)) return ReadStatus::OutsideFile;
    std::optional<ByteBuffer> bytes = ByteBuffer::Allocate(copy.storedSize);
    if (!bytes) return ReadStatus::NoMemory;
    if (!file_.ReadAt(copy.dataOffset, bytes->span())) return ReadStatus::IoError;
    ScrambleFileData(bytes->span(), keys.streamKey);
    out = std::move(*bytes);
    return ReadStatus::Ok;
}

bool PlausibleSizes(const StoredCopy& copy)
{
    // A repeat packet of RLE gives 130 bytes for 2; one LZ byte stands for at
    // most 255 bytes of a long match.
    const uint64_t stored = copy.storedSize;
    switch (copy.scheme) {
    case 0: return copy.fileSize == stored;
    case 1: return stored >= 4 && copy.fileSize <= 65 * (stored - 4);
    case 2: return copy.fileSize <= 256 * stored + 64;
    default: return true;
    }
}

}  // namespace tarvex
