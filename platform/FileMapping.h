#pragma once
// A new file's bytes mapped into memory for writing, so that a decoder can
// write the file's bytes straight into it instead of into a buffer that is
// then copied. The file's blocks are reserved first: a full disk is then an
// error of Map, never a fault while the bytes are written.
#include <cstdint>
#include <span>
#include <string>

#include "platform/FileIo.h"

namespace tarvex {

class WritableMapping {
public:
    WritableMapping() = default;
    ~WritableMapping();
    WritableMapping(const WritableMapping&) = delete;
    WritableMapping& operator=(const WritableMapping&) = delete;

    enum class Status {
        Ok,
        Unsupported,  // the file system cannot reserve blocks: write the file another way
        Failed,       // error says why (a full disk, say)
    };
    // Makes the file `size` bytes long (size > 0) and maps them.
    Status Map(File& file, uint64_t size, std::string& error);
    std::span<uint8_t> Bytes() { return {data_, size_}; }
    // Unmaps the bytes (they stay in the file).
    void Unmap();

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace tarvex
