#include "fuzz/PackDecoding.h"

#include "fuzz/FuzzSupport.h"
#include "pack/PackArchive.h"
#include "schemes/Extraction.h"

namespace tarvex::fuzz {

void ReadAndDecodeAll(std::span<const uint8_t> bytes, bool withPassword)
{
    MemoryFile file(bytes);
    Catalogue catalogue;
    CPackArchive archive(catalogue);
    FuzzPrompt prompt(withPassword);
    if (!archive.Load(file.Path(), prompt)) return;
    PackExtractor extractor(archive, prompt);
    if (!extractor.Open()) return;
    for (size_t i = 0; i < catalogue.Entries().size(); ++i) {
        ByteBuffer decoded;
        extractor.Decode(i, decoded);
    }
}

}  // namespace tarvex::fuzz
