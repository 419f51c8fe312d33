// Fuzzes extraction: every entry of a fuzzed pack is written into a folder,
// and nothing may appear anywhere else.
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/stat.h>

#include "fuzz/FuzzSupport.h"
#include "pack/PackArchive.h"
#include "schemes/TreeExtraction.h"

namespace {

// root/a/b/dest: the levels above dest must hold nothing but the way down.
// Made for one input and removed right after it.
struct Sandbox {
    tarvex::fuzz::TempFolder root{"tarvex-extract-fuzz"};
    std::string dest;
    Sandbox()
    {
        ::mkdir((root.Path() + "/a").c_str(), 0700);
        ::mkdir((root.Path() + "/a/b").c_str(), 0700);
        dest = root.Path() + "/a/b/dest";
        ::mkdir(dest.c_str(), 0700);
    }
};

std::vector<std::string> Names(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(d);
    }
    return names;
}

void RequireOnly(const std::string& dir, const std::string& child)
{
    const std::vector<std::string> names = Names(dir);
    if (names.size() > 1 || (names.size() == 1 && names[0] != child)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    tarvex::fuzz::MemoryFile file({data, size});
    tarvex::Catalogue catalogue;
    tarvex::CPackArchive archive(catalogue);
    tarvex::fuzz::FuzzPrompt prompt(false);
    if (archive.Load(file.Path(), prompt)) {
        const Sandbox sandbox;
        tarvex::PackExtractor extractor(archive, prompt);
        if (extractor.Open())
            tarvex::ExtractFolderTree(extractor, catalogue, catalogue.Root(), sandbox.dest, prompt);
        RequireOnly(sandbox.root.Path(), "a");
        RequireOnly(sandbox.root.Path() + "/a", "b");
        RequireOnly(sandbox.root.Path() + "/a/b", "dest");
    }
    return 0;
}
