#pragma once
// Thin RAII wrappers over the system's files: every call reports failure and
// keeps the reason, nothing throws.
#include <cstdint>
#include <span>
#include <string>

#include "base/SystemErrorText.h"

namespace tarvex {

// An open file as the system names it: a descriptor, or a Windows handle
// (whose files never get the null handle).
#ifdef _WIN32
using NativeFile = void*;
inline constexpr NativeFile kNoFile = nullptr;
#else
using NativeFile = int;
inline constexpr NativeFile kNoFile = -1;
#endif

class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens a regular file for reading; `size`, when given, gets its length.
    // Anything else (a folder, a pipe, a device, a socket) is refused
    // without being waited on, and RefusedType() then tells so.
    bool OpenRead(const std::string& path, uint64_t* size = nullptr);
    // The same, for a name or relative path inside an open folder.
    bool OpenReadIn(const File& folder, const std::string& name, uint64_t* size = nullptr);
    // Opens a regular file inside an open folder for reading without asking
    // for its length: for a file whose length is known and is checked by
    // reading it (ReadToEnd). Never waits either.
    bool OpenReadUnsizedIn(const File& folder, const std::string& name);
    // Holds a folder so that files can be opened inside it by name.
    bool OpenFolder(const std::string& path);
    // Creates or truncates a file for writing (mode 0666 less the umask).
    bool CreateWrite(const std::string& path);
    // Takes over an already open file (kNoFile for none).
    void Adopt(NativeFile file)
    {
        Close();
        file_ = file;
    }

    bool IsOpen() const { return file_ != kNoFile; }
    NativeFile Native() const { return file_; }

    // Reads exactly bytes.size() bytes at `offset`; false on error or end of file.
    bool ReadAt(uint64_t offset, std::span<uint8_t> bytes);
    // Reads exactly bytes.size() bytes from the current position.
    bool ReadAll(std::span<uint8_t> bytes);
    enum class WholeRead { Ok, Failed, Longer };
    // Reads the rest of the file into `bytes`, which must be exactly what is
    // left; Longer when the file goes on past it.
    WholeRead ReadToEnd(std::span<uint8_t> bytes);
    bool WriteAll(std::span<const uint8_t> bytes);
    bool Size(uint64_t& size);
    // Where the next read or write of the file goes, and moving it.
    bool Position(uint64_t& position);
    bool Seek(uint64_t position);
    // Starts writing the file's bytes in [offset, offset + length) to the
    // disk without waiting for it (length 0: to the end), so that a later
    // sync finds little left; where the system has no such call, nothing.
    void StartWriteBack(uint64_t offset, uint64_t length);
    bool Sync();
    bool Close();

    // The reason of the last failure, in words for the user.
    const std::string& Error() const { return error_; }
    // The last open refused something that is not a regular file.
    bool RefusedType() const { return notRegular_; }

private:
    bool Fail();
    bool RefuseType(FileKind kind);
    bool KeepIfRegular(uint64_t* size);
    bool OpenReadAt(NativeFile folder, const std::string& name, uint64_t* size);
    template <typename ReadSome>
    bool ReadExactly(std::span<uint8_t> bytes, ReadSome read);

    NativeFile file_ = kNoFile;
    std::string error_;
    bool notRegular_ = false;
};

// Opens files by their full paths through a held descriptor of their folder:
// files of one folder opened one after another cost a lookup of their own
// name instead of a walk of the whole path.
class FolderOpener {
public:
    bool OpenRead(File& file, const std::string& path, uint64_t* size);
    // File::OpenReadUnsizedIn for a full path; false also when the folder
    // cannot be held.
    bool OpenReadUnsized(File& file, const std::string& path);

private:
    bool HoldFolderOf(const std::string& path, size_t slash);

    std::string folderPath_;
    File folder_;  // open while folderPath_ names it
};

// The length of a file on disk; false when it cannot be read.
bool FileLength(const std::string& path, uint64_t& length);

// Both paths exist and name one file (the same inode of one file system).
bool IsSameFile(const std::string& a, const std::string& b);

}  // namespace tarvex
