#pragma once
// What is at a path on the disk, folders made by path, and how the system
// names files: what the core asks of the disk besides opening files.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/SystemErrorText.h"

namespace tarvex {

// What tells one state of a file from another: which file it is, its length
// and the time its bytes last changed. Not the time its status changed: a
// rename, a change of its rights or a save that renames another file over
// it change that too, while the bytes stay what they were.
struct FileStamp {
    uint64_t device = 0;  // the file system (volume) it is on
    uint64_t inode = 0;   // the file on it
    uint64_t size = 0;
    int64_t modifiedSeconds = 0;
    int64_t modifiedNanoseconds = 0;

    bool SameFile(const FileStamp& other) const { return device == other.device && inode == other.inode; }
    bool operator==(const FileStamp& other) const
    {
        return SameFile(other) && size == other.size && modifiedSeconds == other.modifiedSeconds &&
               modifiedNanoseconds == other.modifiedNanoseconds;
    }
};

struct PathStatus {
    FileKind kind = FileKind::Other;
    uint64_t size = 0;
    FileStamp stamp;
};

enum class PathState {
    Found,
    Missing,  // nothing there (a link to nothing included)
    Failed,   // the error says why
};

// What the path names, links followed.
PathState LookAtPath(const std::string& path, PathStatus& status, std::string& error);

// Makes the folder at path; one that is already there is fine.
bool MakeFolder(const std::string& path, std::string& error);

// Whether the disk takes the name (one name, no folders; UTF-8) as a name of
// its own: on Windows a name with ':' would name a stream of another file,
// and '*', '?', '"', '<', '>', '|' and control characters are no names.
bool IsNameTheDiskTakes(std::string_view name);

// Whether the name (one name; UTF-8) is short enough for a name on the disk:
// 255 bytes on POSIX systems, 255 UTF-16 units on Windows.
bool IsShortEnoughForTheDisk(std::string_view name);

// The paths a caller's text for a file on the disk may mean, the likeliest
// first: on POSIX systems the bytes as they are; on Windows, whose names are
// Unicode, the text read as UTF-8 and read as GBK, each where it is valid.
std::vector<std::string> DiskPathReadings(std::string_view text);

}  // namespace tarvex
