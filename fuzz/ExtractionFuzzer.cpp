// Fuzzes extraction: every entry of a fuzzed pack is written into a folder,
// and nothing may appear anywhere else.
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "archive/PackArchive.h"
#include "fuzz/FuzzSupport.h"
#include "schemes/TreeExtraction.h"

namespace {

// root/a/b/dest: the levels above dest must hold nothing but the way down.
struct Sandbox {
    std::string root;
    std::string dest;
    Sandbox()
    {
        char pattern[] = "/tmp/tarvex-extract-fuzz-XXXXXX";
        root = ::mkdtemp(pattern);
        ::mkdir((root + "/a").c_str(), 0700);
        ::mkdir((root + "/a/b").c_str(), 0700);
        dest = root + "/a/b/dest";
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

void RemoveTree(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        for (const std::string& name : Names(path)) RemoveTree(path + "/" + name);
        ::rmdir(path.c_str());
    } else {
        ::unlink(path.c_str());
    }
}

void RequireOnly(const std::string& dir, const std::string& child)
{
    const std::vector<std::string> names = Names(dir);
    if (names.size() > 1 || (names.size() == 1 && names[0] != child)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const Sandbox sandbox;
    tarvex::fuzz::MemoryFile file({data, size});
    tarvex::Catalogue catalogue;
    tarvex::CPackArchive archive(catalogue);
    tarvex::fuzz::FuzzPrompt prompt(false);
    if (archive.Load(file.Path(), prompt)) {
        ::mkdir(sandbox.dest.c_str(), 0700);
        tarvex::PackExtractor extractor(archive, prompt);
        if (extractor.Open())
            tarvex::ExtractFolderTree(extractor, catalogue, catalogue.Root(), sandbox.dest, prompt);
        RequireOnly(sandbox.root, "a");
        RequireOnly(sandbox.root + "/a", "b");
        RequireOnly(sandbox.root + "/a/b", "dest");
        RemoveTree(sandbox.dest);
    }
    return 0;
}
