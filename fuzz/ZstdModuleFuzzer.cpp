// Fuzzes the decoder of the shipped Zstandard modules (both levels share it).
#include "fuzz/ModuleDecoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    tarvex::fuzz::DecodeWithModule("zstd-fast.edl", {data, size});
    return 0;
}
