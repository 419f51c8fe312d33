// Fuzzes the LZ decoder: three bytes give the decoded length (up to 1 MiB),
// the rest is the stream, which the shape reader of the piece joiner reads
// too. The whole input is also compressed in pieces (of a length from the
// first byte), and the joined stream must decode to it.
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <vector>

#include "codecs/LzCodec.h"
#include "codecs/LzPieces.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3) return 0;
    const size_t length = (data[0] | data[1] << 8 | (data[2] & 0x0F) << 16);
    std::vector<uint8_t> out(length);
    tarvex::LzDecode({data + 3, size - 3}, out);
    tarvex::ShapeOfLzStream({data + 3, size - 3});

    const std::span<const uint8_t> input(data, size);
    std::vector<uint8_t> stream(3 * size);
    const std::optional<uint32_t> joined = tarvex::LzEncodeInPieces(input, stream, 16 + data[0], 1);
    if (!joined) return 0;
    stream.resize(*joined);
    std::vector<uint8_t> decoded(size);
    if (!tarvex::LzDecode(stream, decoded) || !std::equal(decoded.begin(), decoded.end(), data)) std::abort();
    return 0;
}
