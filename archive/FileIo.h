#pragma once
// Thin RAII wrappers over POSIX files: every call reports failure and keeps
// the reason, nothing throws.
#include <cstdint>
#include <span>
#include <string>

namespace tarvex {

class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens a file (not a folder) for reading; `size`, when given, gets its length.
    bool OpenRead(const std::string& path, uint64_t* size = nullptr);
    // Creates or truncates a file for writing (mode 0666 less the umask).
    bool CreateWrite(const std::string& path);
    // Takes over an already open descriptor.
    void Adopt(int fd) { Close(); fd_ = fd; }

    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }

    // Reads exactly bytes.size() bytes at `offset`; false on error or end of file.
    bool ReadAt(uint64_t offset, std::span<uint8_t> bytes);
    // Reads exactly bytes.size() bytes from the current position.
    bool ReadAll(std::span<uint8_t> bytes);
    bool WriteAll(std::span<const uint8_t> bytes);
    bool Size(uint64_t& size);
    bool Sync();
    bool Close();

    // The reason of the last failure, as the system words it.
    const std::string& Error() const { return error_; }

private:
    bool Fail();
    template <typename ReadSome>
    bool ReadExactly(std::span<uint8_t> bytes, ReadSome read);

    int fd_ = -1;
    std::string error_;
};

// The length of a file on disk; false when it cannot be read.
bool FileLength(const std::string& path, uint64_t& length);

}  // namespace tarvex
