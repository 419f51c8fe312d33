// Fuzzes the pack reader with a fixed password, so that mutations of packs
// protected by it get past the check blocks.
#include "fuzz/FuzzSupport.h"
#include "fuzz/PackDecoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    tarvex::fuzz::ReadAndDecodeAll({data, size}, /*withPassword=*/true);
    return 0;
}
