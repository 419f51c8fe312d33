// Fuzzes the game's reader: a fuzzed pack is opened through CRQ_File, and
// every path it holds (and a few it may not) is located and read.
#include "base/GbkText.h"
#include "catalogue/PackPaths.h"
#include "fuzz/FuzzSupport.h"
#include "pack/PackArchive.h"
#include "runtime/RQ_File.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    tarvex::fuzz::MemoryFile file({data, size});
    tarvex::CRQ_File reader;
    if (!reader.Open(file.Path().c_str(), true, true, nullptr)) return 0;

    std::vector<std::string> paths = {"test.txt", "info\\info.txt", "..\\x", "a/b/c"};
    tarvex::Catalogue catalogue;
    tarvex::CPackArchive archive(catalogue);
    tarvex::fuzz::FuzzPrompt prompt(false);
    if (archive.Load(file.Path(), prompt)) {
        const auto folders = tarvex::FolderPathsById(catalogue);
        for (const auto& entry : catalogue.Entries()) paths.push_back(tarvex::EntryPackPath(folders, entry));
    }
    for (const std::string& path : paths) {
        reader.Locate(path.c_str(), nullptr);
        uint8_t* into = nullptr;
        reader.Read(&into, 0);
        reader.Read(nullptr, reader.GetLength() / 2);
    }
    return 0;
}
