#pragma once
// Reading one file's stored bytes out of a pack on disk.
#include <cstdint>
#include <string>

#include "base/ByteBuffer.h"
#include "catalogue/Catalogue.h"
#include "format/PasswordKeys.h"
#include "platform/FileIo.h"
#include "platform/HeldPack.h"

namespace tarvex {

enum class ReadStatus { Ok, OutsideFile, NoMemory, IoError };

// An open pack file for random reads of stored copies: a descriptor of its
// own onto the held pack, so that each thread can have one.
class PackDataFile {
public:
    // Fails (Error() says why) when the pack was written to since it was
    // read: its stored bytes are no longer those the records describe.
    bool Open(const HeldPack& pack);
    bool IsOpen() const { return file_.IsOpen(); }
    uint64_t Length() const { return length_; }

    // The stored bytes of a copy, unscrambled with keys (still encoded), read
    // with one positioned read.
    ReadStatus ReadStored(const StoredCopy& copy, const KeySchedule& keys, ByteBuffer& out);
    bool Contains(const StoredCopy& copy) const
    {
        return uint64_t{copy.dataOffset} + copy.storedSize <= length_;
    }
    const std::string& Error() const { return error_.empty() ? file_.Error() : error_; }
    // The open file, for copies of stored bytes that are never held whole.
    File& Handle() { return file_; }

private:
    File file_;
    uint64_t length_ = 0;
    std::string error_;  // why Open failed, when the file's own error does not say
};

}  // namespace tarvex
