#pragma once
// Writes a file so that the old one survives any failure: the bytes go to a
// new temporary file beside the target, and only a complete, flushed file is
// renamed over the target. The temporary file has no name until it is
// complete where the file system allows (so a killed process leaves nothing
// behind); elsewhere it is created exclusively under a random name.
// Destroying the writer without Commit() removes the temporary file.
//
// It can also write to a stream (a pipe, a socket, standard output): front
// to back, never seeking; nothing written there can be taken back, and
// Commit only flushes.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/DiskFolder.h"
#include "platform/FileIo.h"

namespace tarvex {

class SafeFileWriter {
public:
    SafeFileWriter() = default;
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    enum class Links {
        WriteThrough,  // a symbolic link at target keeps pointing at the new file
        Replace,       // a symbolic link at target is replaced, its target untouched
    };
    bool Open(const std::string& target, Links links = Links::WriteThrough);
    // For the file `name` inside a held folder; whatever is there, a link
    // included, is replaced, never written through.
    bool OpenIn(const DiskFolder& folder, const std::string& name);
    // For writing front to back to the process's standard output (a pipe,
    // say); shown names it in messages.
    bool OpenStandardOutput(const std::string& shown);
    bool Streams() const { return streaming_; }
    // Buffered: small fields are gathered, large blocks go straight through.
    bool Write(std::span<const uint8_t> bytes);
    uint64_t Position() const { return position_; }
    // Hands the file to `fill`, which writes at its current position (by
    // kernel copies, say) and returns whether it succeeded; the bytes
    // gathered so far go first. A stream has no position to ask: there
    // `length` says how many bytes a fill writes.
    bool Fill(const std::function<bool(File& file)>& fill, std::optional<uint64_t> length = std::nullopt);
    // Drops what was written from `position` on (position <= Position()):
    // the next write goes there. A stream can drop nothing.
    bool TruncateTo(uint64_t position);
    struct CommitRules {
        // Also sync the file and its folder to the disk.
        bool durable = true;
        // Asked last, once the file is complete, just before it takes the
        // target's place; false leaves the target as it is.
        std::function<bool()> lastCheck;
        // Nothing may be at the target: the new file never replaces one that
        // came meanwhile.
        bool replaceNothing = false;
        // Gets a descriptor of the new file, for reading it once it is in place.
        File* keep = nullptr;
    };
    // Flushes and renames over the target, keeping the old file's mode; a
    // stream is only flushed.
    bool Commit(const CommitRules& rules);
    bool Commit(bool durable = true)
    {
        CommitRules rules;
        rules.durable = durable;
        return Commit(rules);
    }
    // Drops the temporary file now.
    void Abandon();

    const std::string& Error() const { return error_; }
    const std::string& TargetPath() const { return target_; }

private:
    bool Flush();
    void HandToDisk();
    bool Fail(const std::string& why);
    bool Begin();
    bool GiveName();
    bool PutInPlace(bool replaceNothing);


    File file_;
    File dir_;              // the folder the target is in, held
    std::string name_;      // the target's name in it
    std::string target_;    // the target's path, for messages
    std::string tempName_;  // in the folder; empty while the temporary file has no name
    std::vector<uint8_t> buffer_;
    uint64_t position_ = 0;
    uint64_t handed_ = 0;  // bytes whose writing to the disk has been started
    bool streaming_ = false;
    std::string error_;
};

}  // namespace tarvex
