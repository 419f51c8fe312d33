// Fuzzes the decoder of the shipped Deflate module.
#include "fuzz/ModuleDecoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    tarvex::fuzz::DecodeWithModule("deflate.edl", {data, size});
    return 0;
}
