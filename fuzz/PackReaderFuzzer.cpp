// Fuzzes the pack reader on unprotected packs, then decodes every entry.
#include "fuzz/FuzzSupport.h"
#include "fuzz/PackDecoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    tarvex::fuzz::ReadAndDecodeAll({data, size}, /*withPassword=*/false);
    return 0;
}
