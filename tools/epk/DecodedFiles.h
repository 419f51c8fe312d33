#pragma once
// The coded files of a mount, decoded once and kept while the kernel reads
// them piece by piece: the files read last, up to a byte budget (the file
// read last is kept whatever its size). The kernel's page cache keeps what
// it has read, so a file is seldom decoded twice.
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "base/ByteBuffer.h"

namespace tarvex::epk {

class DecodedFiles {
public:
    explicit DecodedFiles(uint64_t budget) : budget_(budget) {}

    // The decoded bytes of item `node`, decoded by `decode` for the first
    // caller that needs them while the others wait for it. Nothing when the
    // decoding failed (reported by `decode`, once for all who waited); the
    // next call tries again. A `decode` that reports nothing (`quietly`,
    // for reading ahead) leaves a failure to be found again, and reported,
    // by a caller who waited for it.
    std::shared_ptr<const ByteBuffer> Get(uint32_t node, const std::function<bool(ByteBuffer&)>& decode,
                                          bool quietly = false);
    // Lets go of item `node`'s bytes (those who hold them keep them): the
    // kernel has them all.
    void Drop(uint32_t node);

private:
    struct File {
        std::mutex decoding;
        bool done = false;
        bool failed = false;
        bool failedQuietly = false;
        ByteBuffer bytes;
    };
    struct Kept {
        std::shared_ptr<File> file;
        std::list<uint32_t>::iterator recent;
        uint64_t counted;  // its bytes once decoded
    };
    void Forget(uint32_t node);

    const uint64_t budget_;
    std::mutex mutex_;
    std::unordered_map<uint32_t, Kept> kept_;
    std::list<uint32_t> recent_;  // most recently read first
    uint64_t bytes_ = 0;          // of the files decoded and kept
};

}  // namespace tarvex::epk
