#include "fuzz/FuzzSupport.h"

#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/mman.h>
#include <unistd.h>

#include "catalogue/CatalogueEdits.h"
#include "codecs/LzCodec.h"
#include "codecs/RleCodec.h"
#include "pack/PackArchive.h"
#include "platform/FileIo.h"
#include "plugins/EncoderModule.h"
#include "schemes/PluginHost.h"
#include "schemes/SchemeDispatch.h"

namespace tarvex::fuzz {

MemoryFile::MemoryFile(std::span<const uint8_t> bytes)
{
    fd_ = ::memfd_create("fuzzed", MFD_CLOEXEC);
    if (fd_ < 0) std::abort();
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n <= 0) std::abort();
        done += static_cast<size_t>(n);
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemoryFile::~MemoryFile()
{
    ::close(fd_);
}

TempFolder::TempFolder(const std::string& prefix)
{
    const char* temp = std::getenv("TMPDIR");
    std::string pattern = std::string(temp && *temp ? temp : "/tmp") + "/" + prefix + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
}

TempFolder::~TempFolder()
{
    RemoveTree(path_);
}

void RemoveTree(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return;
    if (!S_ISDIR(st.st_mode)) {
        ::unlink(path.c_str());
        return;
    }
    if (DIR* dir = ::opendir(path.c_str())) {
        while (const dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") RemoveTree(path + "/" + name);
        }
        ::closedir(dir);
    }
    ::rmdir(path.c_str());
}

std::optional<PasswordBlocks> FuzzPrompt::AskPassword(PasswordMode)
{
    if (!withPassword_) return std::nullopt;
    return DerivePasswordBlocks(kFuzzPassword);
}

namespace {

std::vector<uint8_t> Text(size_t n, unsigned seed)
{
    static const char* const words[] = {"pack ", "file ", "folder ", "scheme ", "\n", "the ", "aaaaaaaa"};
    std::vector<uint8_t> bytes;
    while (bytes.size() < n) {
        seed = seed * 1103515245 + 12345;
        const std::string w = words[(seed >> 16) % 7];
        bytes.insert(bytes.end(), w.begin(), w.end());
    }
    bytes.resize(n);
    return bytes;
}

// Packs of several shapes, written by the core with or without the fuzz password.
std::vector<std::vector<uint8_t>> PackSeeds(bool withPassword)
{
    const TempFolder folder("tarvex-seeds");
    const std::string& dir = folder.Path();
    std::vector<std::vector<uint8_t>> seeds;
    const KeySchedule keys = withPassword ? MakeKeySchedule(DerivePasswordBlocks(kFuzzPassword)) : KeySchedule{};
    for (int shape = 0; shape < 4; ++shape) {
        Catalogue catalogue;
        CPackArchive archive(catalogue);
        SilentPrompt prompt;
        std::vector<std::string> written;
        for (int i = 0; i < shape * 2; ++i) {
            Folder* folder = &catalogue.Root();
            if (i % 2) folder = catalogue.InsertFolder("d" + std::to_string(i), -1, catalogue.Root());
            if (i % 4 == 3) folder = catalogue.InsertFolder("inner", -1, *folder);
            const std::string path = dir + "/f" + std::to_string(shape) + "_" + std::to_string(i);
            File out;
            const std::vector<uint8_t> bytes = Text(40 + 300 * i, i);
            if (!out.CreateWrite(path) || !out.WriteAll(bytes)) std::abort();
            AddFileEntry(catalogue, folder->id, path, prompt);
            catalogue.Entries().back().scheme = static_cast<uint8_t>(i % 3);
            written.push_back(path);
        }
        const std::string packPath = dir + "/seed.epk";
        SchemeDispatch dispatch(catalogue, prompt);
        if (archive.Store(packPath, keys, dispatch, prompt)) {
            File in;
            uint64_t size = 0;
            if (in.OpenRead(packPath) && in.Size(size)) {
                std::vector<uint8_t> bytes(size);
                if (in.ReadAll(bytes)) seeds.push_back(std::move(bytes));
            }
        }
        ::unlink(packPath.c_str());
        for (const auto& path : written) ::unlink(path.c_str());
    }
    return seeds;
}

// Unprotected packs no writer makes, laid out by hand: an entry in folder 7
// of 1; folder C listed by both A and B; two files claiming nearly 4 GiB, one
// with a scheme no decoder has, one with a module that is not there.
std::vector<std::vector<uint8_t>> DamagedPackSeeds()
{
    return {
        {'Z', 'V', 'P', 'K', 1, 0, 1, 0, 1, 0, 0, 0, 0x15, 0, 0, 0, 1, 'a', 1, 0, 1, 0, 'a', 'b', 'c',
         5, 'x', '.', 't', 'x', 't', 0x16, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0, 7, 0, 0},
        {'Z', 'V', 'P', 'K', 1, 0, 3, 0, 1, 0, 0, 0, 0x15, 0, 0, 0, 1, 'A', 2, 0, 3, 0, 1, 'B', 2, 0, 3, 0,
         1, 'C', 3, 0, 3, 0, 'a', 'b', 'c', 5, 'x', '.', 't', 'x', 't', 34, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0},
        {'Z', 'V', 'P', 'K', 1, 1, 0, 0, 2, 0, 0, 0, 48, 0, 0, 0, 4, 'G', 'o', 'n', 'e',
         8, 'g', 'o', 'n', 'e', '.', 'e', 'd', 'l', 1, 0, 0, 0, 'a', 'b', 'c', 'a', 'b', 'c',
         8, 't', 'e', 's', 't', '.', 't', 'x', 't', 34, 0, 0, 0, 0xF0, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0, 0, 0, 0x05,
         8, 'i', 'n', 'f', 'o', '.', 't', 'x', 't', 37, 0, 0, 0, 0xF0, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0, 0, 0, 0x80},
    };
}

std::vector<std::vector<uint8_t>> RleSeeds()
{
    std::vector<std::vector<uint8_t>> seeds;
    for (size_t n : {7, 130, 131, 500, 5000}) {
        const std::vector<uint8_t> input = Text(n, static_cast<unsigned>(n));
        std::vector<uint8_t> out(n);
        uint32_t length = 0;
        if (RleEncode(input, out, length)) seeds.emplace_back(out.begin(), out.begin() + length);
    }
    return seeds;
}

// Three bytes of decoded length, then the stream.
std::vector<std::vector<uint8_t>> LzSeeds()
{
    std::vector<std::vector<uint8_t>> seeds;
    for (size_t n : {1, 13, 100, 4000, 60000}) {
        const std::vector<uint8_t> input = Text(n, static_cast<unsigned>(n));
        std::vector<uint8_t> out(n * 3 + 5);
        const uint32_t length = LzEncode(input, out);
        std::vector<uint8_t> seed = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
                                     static_cast<uint8_t>(n >> 16)};
        seed.insert(seed.end(), out.begin(), out.begin() + length);
        seeds.push_back(std::move(seed));
    }
    return seeds;
}

// Three bytes of file size, then what the shipped module stores for the file.
std::vector<std::vector<uint8_t>> ModuleSeeds(const std::string& moduleFile)
{
    std::vector<std::vector<uint8_t>> seeds;
    std::string error;
    const std::optional<LoadedModule> module = PluginHost().Load(moduleFile, error);
    const auto memNeeded = module ? module->Find<edl_getMemNeeded_fn>("getMemNeeded") : nullptr;
    const auto encode = module ? module->Find<edl_Encode_fn>("Encode") : nullptr;
    if (!memNeeded || !encode) return seeds;
    for (uint32_t n : {1u, 100u, 5000u, 70000u}) {
        const std::vector<uint8_t> input = Text(n, n);
        std::vector<uint8_t> out(memNeeded(n));
        uint32_t length = 0;
        if (!encode(input.data(), n, out.data(), &length)) continue;
        std::vector<uint8_t> seed = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
                                     static_cast<uint8_t>(n >> 16)};
        seed.insert(seed.end(), out.begin(), out.begin() + length);
        seeds.push_back(std::move(seed));
    }
    return seeds;
}

}  // namespace

const std::vector<std::string>& TargetNames()
{
    static const std::vector<std::string> names = {"PackReader", "ProtectedPackReader", "Extraction", "Runtime",
                                                   "RleDecode", "LzDecode", "DeflateModule", "ZstdModule"};
    return names;
}

std::vector<std::vector<uint8_t>> MakeSeeds(const std::string& target)
{
    if (target == "PackReader" || target == "Extraction" || target == "Runtime") {
        std::vector<std::vector<uint8_t>> seeds = PackSeeds(false);
        for (auto& seed : DamagedPackSeeds()) seeds.push_back(std::move(seed));
        return seeds;
    }
    if (target == "ProtectedPackReader") return PackSeeds(true);
    if (target == "RleDecode") return RleSeeds();
    if (target == "LzDecode") return LzSeeds();
    if (target == "DeflateModule") return ModuleSeeds("deflate.edl");
    if (target == "ZstdModule") return ModuleSeeds("zstd-fast.edl");
    return {};
}

}  // namespace tarvex::fuzz
