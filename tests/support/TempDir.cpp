#include "tests/support/TempDir.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvex::test {

void RemoveTree(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        ::chmod(path.c_str(), 0700);
        if (DIR* dir = ::opendir(path.c_str())) {
            while (const dirent* e = ::readdir(dir)) {
                const std::string name = e->d_name;
                if (name != "." && name != "..") RemoveTree(path + "/" + name);
            }
            ::closedir(dir);
        }
        ::rmdir(path.c_str());
    } else {
        ::unlink(path.c_str());
    }
}

namespace {

void MakeParents(const std::string& path)
{
    for (size_t i = 1; i < path.size(); ++i)
        if (path[i] == '/') ::mkdir(path.substr(0, i).c_str(), 0777);
}

}  // namespace

TempDir::TempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tarvex-test-XXXXXX";
    path_ = ::mkdtemp(pattern.data()) ? pattern : "";
}

TempDir::~TempDir()
{
    if (!path_.empty()) RemoveTree(path_);
}

std::string TempDir::Write(const std::string& relative, const std::string& bytes) const
{
    const std::string path = path_ + "/" + relative;
    MakeParents(path);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string TempDir::Write(const std::string& relative, const std::vector<uint8_t>& bytes) const
{
    return Write(relative, std::string(bytes.begin(), bytes.end()));
}

std::string TempDir::MakeDir(const std::string& relative) const
{
    const std::string path = path_ + "/" + relative;
    MakeParents(path + "/");
    return path;
}

std::vector<std::string> TempDir::List(const std::string& relative) const
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir((path_ + "/" + relative).c_str())) {
        while (const dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    return bytes;
}

std::vector<uint8_t> TextLikeBytes(size_t n, uint32_t seed)
{
    static const char* const words[] = {"pack ", "file ", "folder ", "scheme ", "the ", "of ", "and ", "资源 ", "\n"};
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes;
    while (bytes.size() < n) {
        const std::string w = words[rng() % std::size(words)];
        bytes.insert(bytes.end(), w.begin(), w.end());
    }
    bytes.resize(n);
    return bytes;
}

}  // namespace tarvex::test
