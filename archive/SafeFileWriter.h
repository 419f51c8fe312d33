#pragma once
// Writes a file so that the old one survives any failure: the bytes go to a
// new temporary file beside the target, created exclusively, and only a
// complete, flushed file is renamed over the target. Destroying the writer
// without Commit() removes the temporary file.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "archive/FileIo.h"

namespace tarvex {

class SafeFileWriter {
public:
    SafeFileWriter() = default;
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    bool Open(const std::string& target);
    // Buffered: small fields are gathered, large blocks go straight through.
    bool Write(std::span<const uint8_t> bytes);
    uint64_t Position() const { return position_; }
    // Flushes and renames over the target, keeping the old file's mode. A
    // durable commit also syncs the file and its folder to the disk first.
    bool Commit(bool durable = true);
    // Drops the temporary file now.
    void Abandon();

    const std::string& Error() const { return error_; }
    const std::string& TempPath() const { return tempPath_; }
    const std::string& TargetPath() const { return target_; }

private:
    bool Flush();
    bool Fail(const std::string& why);

    File file_;
    std::string target_;
    std::string tempPath_;
    std::vector<uint8_t> buffer_;
    uint64_t position_ = 0;
    std::string error_;
};

}  // namespace tarvex
