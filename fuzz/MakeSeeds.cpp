// Writes the seed inputs of every fuzz target into <folder>/<target>/.
#include <cstdio>
#include <fstream>
#include <sys/stat.h>

#include "fuzz/FuzzSupport.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds FOLDER\n");
        return 2;
    }
    const std::string root = argv[1];
    ::mkdir(root.c_str(), 0777);
    for (const std::string& target : tarvex::fuzz::TargetNames()) {
        const std::string dir = root + "/" + target;
        ::mkdir(dir.c_str(), 0777);
        int n = 0;
        for (const auto& seed : tarvex::fuzz::MakeSeeds(target)) {
            std::ofstream out(dir + "/seed-" + std::to_string(n++), std::ios::binary);
            out.write(reinterpret_cast<const char*>(seed.data()), static_cast<std::streamsize>(seed.size()));
        }
    }
    return 0;
}
