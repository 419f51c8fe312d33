#pragma once
// A temporary folder for one test, removed with everything in it.
#include <cstdint>
#include <string>
#include <vector>

namespace tarvex::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    // Writes a file (making its folders) and returns its path.
    std::string Write(const std::string& relative, const std::string& bytes) const;
    std::string Write(const std::string& relative, const std::vector<uint8_t>& bytes) const;
    std::string MakeDir(const std::string& relative) const;
    // Names of the entries of a folder of the temporary folder, sorted.
    std::vector<std::string> List(const std::string& relative = "") const;

private:
    std::string path_;
};

// Removes a file, or a folder with everything in it.
void RemoveTree(const std::string& path);

std::vector<uint8_t> ReadFileBytes(const std::string& path);
// Deterministic test data of a given shape.
std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed);
std::vector<uint8_t> TextLikeBytes(size_t n, uint32_t seed);

}  // namespace tarvex::test
