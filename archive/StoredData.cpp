#include "archive/StoredData.h"

#include "archive/Scrambler.h"

namespace tarvex {

bool PackDataFile::Open(const std::string& path)
{
    return file_.OpenRead(path) && file_.Size(length_);
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

}  // namespace tarvex
