// Fuzzes the RLE decoder as the schemes use it: the walk that finds a
// stream's length, and the decoding into an output of the length its header
// announces (up to 1 MiB), which must succeed exactly when the walk does.
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

#include "codecs/RleCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> stored(data, size);
    const std::optional<uint32_t> length = tarvex::RleStreamLength(stored);
    if (size < 4) return 0;
    const uint32_t announced = data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24;
    if (announced > (1u << 20)) return 0;
    std::vector<uint8_t> out(announced);
    if (tarvex::RleDecodeInto(stored, out) != length.has_value()) std::abort();
    return 0;
}
