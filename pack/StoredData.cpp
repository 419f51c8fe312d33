#include "pack/StoredData.h"

#include <cerrno>

#include "base/SystemErrorText.h"
#include "format/Scrambler.h"
#include "talk/Messages.h"

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

}  // namespace tarvex
