// Replays every fuzz target over its seeds and over the inputs kept in the
// folders given, each with a <target>/ folder per target: fuzz/regressions
// (reproducers of faults found by fuzzing) and fuzz/corpus (the minimised
// corpora of long fuzzing runs), so the ordinary test run keeps them fixed.
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"

#define DECLARE_TARGET(name) extern "C" int Fuzz##name(const uint8_t* data, size_t size);
DECLARE_TARGET(PackReader)
DECLARE_TARGET(ProtectedPackReader)
DECLARE_TARGET(Extraction)
DECLARE_TARGET(Runtime)
DECLARE_TARGET(RleDecode)
DECLARE_TARGET(LzDecode)
DECLARE_TARGET(DeflateModule)
DECLARE_TARGET(ZstdModule)

int main(int argc, char** argv)
{
    const std::map<std::string, int (*)(const uint8_t*, size_t)> targets = {
        {"PackReader", FuzzPackReader}, {"ProtectedPackReader", FuzzProtectedPackReader},
        {"Extraction", FuzzExtraction}, {"Runtime", FuzzRuntime}, {"RleDecode", FuzzRleDecode},
        {"LzDecode", FuzzLzDecode}, {"DeflateModule", FuzzDeflateModule}, {"ZstdModule", FuzzZstdModule}};
    size_t runs = 0;
    for (const auto& [name, run] : targets) {
        for (const auto& seed : tarvex::fuzz::MakeSeeds(name)) {
            run(seed.data(), seed.size());
            ++runs;
        }
        for (int k = 1; k < argc; ++k) {
            const std::string dir = std::string(argv[k]) + "/" + name;
            DIR* d = ::opendir(dir.c_str());
            if (!d) continue;
            while (const dirent* e = ::readdir(d)) {
                if (e->d_name[0] == '.') continue;
                std::ifstream in(dir + "/" + e->d_name, std::ios::binary);
                const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                                 std::istreambuf_iterator<char>()};
                run(bytes.data(), bytes.size());
                ++runs;
            }
            ::closedir(d);
        }
    }
    std::printf("%zu inputs replayed without a fault\n", runs);
    return 0;
}
