// Fuzzes the LZ decoder: three bytes give the decoded length (up to 1 MiB),
// the rest is the stream.
#include <vector>

#include "codecs/LzCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3) return 0;
    const size_t length = (data[0] | data[1] << 8 | (data[2] & 0x0F) << 16);
    std::vector<uint8_t> out(length);
    tarvex::LzDecode({data + 3, size - 3}, out);
    return 0;
}
