// Fuzzes the RLE decoder in both of its forms.
#include <vector>

#include "codecs/RleCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> buffer(data, data + size);
    tarvex::RleDecode(buffer, static_cast<uint32_t>(size));
    const int64_t announced = tarvex::RleDecodedLength({data, size});
    if (announced >= 0 && announced <= (1 << 20)) {
        std::vector<uint8_t> out(static_cast<size_t>(announced));
        tarvex::RleDecodeInto({data, size}, out);
    }
    return 0;
}
