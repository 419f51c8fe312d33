#pragma once
// The pack file a catalogue was read from, held open from the read until the
// catalogue lets go of it. Every stored byte that a save carries over or an
// extraction reads comes from this very file, never from whatever file its
// path names later: every save, ours or another program's, renames a new file
// into place, and a file may be rewritten where it lies.
//
// It also carries the pack's write lock, which every writer of Tarvex takes
// for its whole read-modify-write, so that two of them never interleave.
// Readers take no lock.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/DiskPaths.h"
#include "platform/FileIo.h"

namespace tarvex {

// How long a writer waits for another program's lock, and what it does once
// it starts waiting (say so, for one).
struct LockWait {
    std::chrono::milliseconds limit{0};
    std::function<void()> onWaiting;
};

enum class LockResult {
    Locked,
    Busy,    // another program held it for the whole wait
    Failed,  // the file could not be opened or locked; the error says why
};

// Takes a file's write lock, waiting as `wait` says. A file system without
// such locks counts as locked: the checks of a save still stand.
LockResult LockFile(File& file, const LockWait& wait, std::string& error);

class HeldPack {
public:
    // Opens the pack at path for reading: a regular file only, never waited
    // on. Nothing, with `error` set, when it cannot.
    static std::shared_ptr<HeldPack> Open(const std::string& path, std::string& error);
    // Opens the pack at path and takes its lock. Once locked, the path is
    // looked at again: a save that renamed a new file into place meanwhile
    // is followed to that file.
    static LockResult OpenLocked(const std::string& path, const LockWait& wait, std::shared_ptr<HeldPack>& out,
                                 std::string& error);
    // Takes over a file that was just written and given its place at path.
    static std::shared_ptr<HeldPack> Adopt(File file, const std::string& path, std::string& error);

    const std::string& Path() const { return path_; }
    // The file as it was when it was opened.
    const FileStamp& Stamp() const { return stamp_; }
    uint64_t Length() const { return stamp_.size; }

    // A descriptor of its own onto this file, for reads at offsets on any
    // thread.
    bool Reopen(File& out) const;
    // The file still has the length and times it had when it was opened:
    // nobody wrote to it since.
    bool Unchanged() const;
    // `path` names this file now.
    bool IsAt(const std::string& path) const;

    LockResult Lock(const LockWait& wait, std::string& error);
    void Unlock();
    bool IsLocked() const { return locked_; }

private:
    File file_;
    std::string path_;
    FileStamp stamp_;
    bool locked_ = false;
};

}  // namespace tarvex
