#include "codecs/LzCodec.h"
#include "codecs/LzPieces.h"
#include "codecs/LzStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string_view>
#include <vector>

namespace tarvex {
namespace {

using Bytes = std::vector<uint8_t>;

// The capacity the pack writer gives the compressor: 3 x length, at least 5.
Bytes Compress(const Bytes& src)
{
    Bytes dst(std::max<size_t>(3 * src.size(), 5));
    dst.resize(LzEncode(src, dst));
    return dst;
}

Bytes RandomBytes(std::mt19937& rng, size_t count)
{
    Bytes bytes(count);
    std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<uint8_t>(rng()); });
    return bytes;
}

// Words from a small vocabulary: repeats at short and long distances.
Bytes TextLike(std::mt19937& rng, size_t count)
{
    static constexpr std::string_view kWords[] = {"texture ", "sound ", "mesh=", "0.25\n", "name "};
    Bytes bytes;
    while (bytes.size() < count) {
        const std::string_view word = kWords[rng() % std::size(kWords)];
        bytes.insert(bytes.end(), word.begin(), word.end());
    }
    bytes.resize(count);
    return bytes;
}

Bytes Runs(std::mt19937& rng, size_t count)
{
    Bytes bytes;
    while (bytes.size() < count) {
        bytes.insert(bytes.end(), 1 + rng() % 300, static_cast<uint8_t>(rng()));
    }
    bytes.resize(count);
    return bytes;
}

TEST(LzEncode, TinyInputsBecomeOneLiteral)
{
    EXPECT_EQ(Compress({}), (Bytes{0x11, 0x00, 0x00}));
    EXPECT_EQ(Compress({0x41}), (Bytes{0x12, 0x41, 0x11, 0x00, 0x00}));
    std::mt19937 rng(1);
    for (size_t length = 1; length <= 13; ++length) {
        EXPECT_EQ(Compress(Bytes(length, 0x41)).size(), length + 4) << length;
        EXPECT_EQ(Compress(RandomBytes(rng, length)).size(), length + 4) << length;
    }
}

TEST(LzEncode, LongRunCompressesFarBelowItsLength)
{
    const Bytes input(1 << 20, 0x5A);
    const Bytes stream = Compress(input);
    EXPECT_LT(stream.size(), input.size() / 100);
    Bytes out(input.size());
    EXPECT_TRUE(LzDecode(stream, out) && out == input);
}

// For small and incompressible inputs LZO's own worst case exceeds the usual
// capacity, so these go through the scratch buffer.
TEST(LzEncode, UsualCapacityAlwaysSuffices)
{
    std::mt19937 rng(3);
    for (size_t length = 1; length <= 200; ++length) {
        EXPECT_FALSE(Compress(RandomBytes(rng, length)).empty()) << length;
        EXPECT_FALSE(Compress(Bytes(length, 0x41)).empty()) << length;
    }
    for (size_t length : {1000u, 65'536u, 1'000'000u}) {
        EXPECT_FALSE(Compress(RandomBytes(rng, length)).empty()) << length;
    }
}

// The library is not instrumented and takes no output capacity, so dst is the
// front of a larger buffer whose tail must stay untouched.
TEST(LzEncode, FitsExactlyOrReportsNoRoomWithoutWritingPastDst)
{
    constexpr uint8_t kGuard = 0xCD;
    std::mt19937 rng(4);
    for (const Bytes& input : {Bytes{}, Bytes{0x41}, RandomBytes(rng, 5000), Runs(rng, 5000)}) {
        const Bytes stream = Compress(input);
        for (size_t capacity : {stream.size(), stream.size() - 1, size_t{0}}) {
            Bytes buffer(capacity + 256, kGuard);
            const uint32_t length = LzEncode(input, std::span(buffer).first(capacity));
            EXPECT_EQ(length, capacity == stream.size() ? stream.size() : 0u);
            EXPECT_TRUE(capacity != stream.size() || std::equal(stream.begin(), stream.end(), buffer.begin()));
            EXPECT_TRUE(std::all_of(buffer.begin() + capacity, buffer.end(), [](uint8_t b) { return b == kGuard; }))
                << input.size() << " bytes into " << capacity;
        }
    }
}

TEST(LzCodec, RoundTripsEveryShapeAndSize)
{
    std::mt19937 rng(5);
    for (auto make : {RandomBytes, TextLike, Runs}) {
        for (size_t length : {0u, 1u, 14u, 100u, 4096u, 65'537u, 3'000'000u}) {
            const Bytes input = make(rng, length);
            Bytes out(input.size());
            EXPECT_TRUE(LzDecode(Compress(input), out) && out == input) << length;
        }
    }
}

// Every damaged stream is refused without reading or writing outside the
// exact-size buffers, which the address sanitizer checks.
TEST(LzDecode, RefusesDamagedStreams)
{
    std::mt19937 rng(6);
    const Bytes input = TextLike(rng, 3000);
    const Bytes stream = Compress(input);
    Bytes out(input.size());
    ASSERT_TRUE(LzDecode(stream, out));
    for (size_t length = 0; length < stream.size(); ++length) {
        EXPECT_FALSE(LzDecode(Bytes(stream.begin(), stream.begin() + length), out)) << "kept " << length;
    }
    Bytes trailing = stream;
    trailing.push_back(0);
    EXPECT_FALSE(LzDecode(trailing, out));
    // The end marker is a match of distance zero; any other distance reaches
    // before the start of the output.
    Bytes farMatch = stream;
    ASSERT_EQ(Bytes(farMatch.end() - 3, farMatch.end()), (Bytes{0x11, 0x00, 0x00}));
    farMatch.back() = 0x01;
    EXPECT_FALSE(LzDecode(farMatch, out));
    for (size_t size : {size_t{0}, input.size() - 1, input.size() + 1}) {
        Bytes wrongSize(size);
        EXPECT_FALSE(LzDecode(stream, wrongSize)) << "output of " << size;
    }
    EXPECT_FALSE(LzDecode({}, out));
}

// The walk that counts what a stream gives without decoding it must never
// refuse a stream the decoder accepts, nor count another length: codes the
// compressor never writes (short matches after literals, far ones after a
// run) included, and every stream one changed byte makes of a real one.
TEST(LzStreamLength, GivesWhatTheDecoderAcceptsAndNothingElse)
{
    std::mt19937 rng(7);
    for (auto make : {RandomBytes, TextLike, Runs}) {
        for (size_t length : {0u, 1u, 14u, 4096u, 3'000'000u})
            EXPECT_EQ(LzStreamLength(Compress(make(rng, length))), length) << length;
    }

    Bytes farAfterRun = {0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0x2A};  // a run of 2100 literals
    const Bytes literals = RandomBytes(rng, 2100);
    farAfterRun.insert(farAfterRun.end(), literals.begin(), literals.end());
    farAfterRun.insert(farAfterRun.end(), {0x00, 0x00, 0x11, 0x00, 0x00});  // 3 bytes from 2049 back
    const struct {
        Bytes stream;
        std::optional<uint64_t> length;
    } cases[] = {
        {{0x11, 0x00, 0x00}, 0},
        {{0x14, 'a', 'b', 'c', 0x04, 0x00, 0x11, 0x00, 0x00}, 5},            // "abc", 2 bytes from 2 back
        {{0x14, 'a', 'b', 'c', 0x05, 0x00, 'x', 0x11, 0x00, 0x00}, 6},       // and a literal of its own
        {{0x14, 'a', 'b', 'c', 0x0C, 0x00, 0x11, 0x00, 0x00}, std::nullopt},  // 4 back from 3 bytes
        {farAfterRun, 2103},
        {{0x11, 0x00}, std::nullopt},
        {{0x11, 0x00, 0x00, 0x00}, std::nullopt},
        {{0x12, 'a'}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LzStreamLength(c.stream), c.length) << ::testing::PrintToString(c.stream);
        if (c.length) {
            Bytes out(*c.length);
            EXPECT_TRUE(LzDecode(c.stream, out)) << *c.length;
        }
    }

    const Bytes stream = Compress(TextLike(rng, 60));
    int accepted = 0;
    for (size_t i = 0; i < stream.size(); ++i) {
        for (const int value : {0x00, 0x01, 0x05, 0x10, 0x11, 0x20, 0x40, 0x80, 0xFF, stream[i] ^ 0x04, stream[i] + 1}) {
            Bytes changed = stream;
            changed[i] = static_cast<uint8_t>(value);
            const std::optional<uint64_t> counted = LzStreamLength(changed);
            for (size_t size = 0; size <= 300; ++size) {
                Bytes out(size);
                if (!LzDecode(changed, out)) continue;
                ++accepted;
                EXPECT_EQ(counted, size) << "byte " << i << " as " << value;
            }
        }
    }
    EXPECT_GT(accepted, 100);
}

}  // namespace
}  // namespace tarvex

namespace tarvex {
namespace {

std::optional<Bytes> CompressInPieces(const Bytes& src, size_t pieceBytes, unsigned threads)
{
    Bytes dst(std::max<size_t>(3 * src.size(), 5));
    const std::optional<uint32_t> length = LzEncodeInPieces(src, dst, pieceBytes, threads);
    if (!length) return std::nullopt;
    dst.resize(*length);
    return dst;
}

// Collects a streamed encoding, taking its literal runs from the input.
class CollectedStream : public IStreamOutput {
public:
    explicit CollectedStream(const Bytes& input) : input_(input) {}
    bool Codes(std::span<const uint8_t> codes) override
    {
        bytes.insert(bytes.end(), codes.begin(), codes.end());
        return true;
    }
    bool Literals(uint64_t end, uint64_t count) override
    {
        if (end > input_.size() || count > end) return false;
        bytes.insert(bytes.end(), input_.begin() + static_cast<long>(end - count), input_.begin() + static_cast<long>(end));
        return true;
    }
    Bytes bytes;

private:
    const Bytes& input_;
};

// The input handed over window by window; none when the length told before
// the end is not the length made.
std::optional<Bytes> CompressStreamed(const Bytes& src, size_t pieceBytes, size_t piecesPerWindow)
{
    CollectedStream out(src);
    LzStreamEncoder encoder(out, pieceBytes, piecesPerWindow, 2);
    for (size_t at = 0; at < src.size(); at += encoder.WindowBytes()) {
        const size_t length = std::min(encoder.WindowBytes(), src.size() - at);
        if (!encoder.Add(std::span(src).subspan(at, length))) return std::nullopt;
    }
    const uint64_t told = encoder.Length();
    if (!encoder.Finish() || told != out.bytes.size()) return std::nullopt;
    return out.bytes;
}

// Pieces of every kind meet: all literals (random bytes), ending in one to
// three literals or a longer run, starting with a short or a long run, and
// literal runs longer than a piece (the long count form) at the start, in
// the middle and at the end. Joined in memory or streamed, the bytes are the
// same.
TEST(LzPieces, JoinedPiecesDecodeToTheInputWhateverTheThreadsOrWindows)
{
    std::mt19937 rng(7);
    const Bytes random = RandomBytes(rng, 20'000);
    const Bytes text = TextLike(rng, 5'000);
    Bytes mixed = text;
    mixed.insert(mixed.end(), random.begin(), random.end());
    mixed.insert(mixed.end(), text.begin(), text.end());
    std::vector<Bytes> inputs = {random, text, mixed};
    for (int round = 0; round < 40; ++round) {
        Bytes input;
        const size_t parts = 1 + rng() % 12;
        for (size_t k = 0; k < parts; ++k) {
            const size_t length = rng() % 3000;
            const auto make = rng() % 3 == 0 ? RandomBytes : rng() % 2 ? TextLike : Runs;
            const Bytes part = make(rng, length);
            input.insert(input.end(), part.begin(), part.end());
        }
        inputs.push_back(input);
    }
    for (size_t k = 0; k < inputs.size(); ++k) {
        const Bytes& input = inputs[k];
        for (size_t pieceBytes : {size_t{64}, size_t{239}, size_t{4099}}) {
            if (input.size() <= pieceBytes) continue;
            const std::optional<Bytes> one = CompressInPieces(input, pieceBytes, 1);
            ASSERT_TRUE(one) << "input " << k << ", pieces of " << pieceBytes;
            EXPECT_EQ(CompressInPieces(input, pieceBytes, 3), one);
            // Streamed, runs of literals reach back over windows.
            for (size_t piecesPerWindow : {1, 3})
                EXPECT_EQ(CompressStreamed(input, pieceBytes, piecesPerWindow), one)
                    << "input " << k << ", pieces of " << pieceBytes << ", " << piecesPerWindow << " to a window";
            Bytes out(input.size());
            EXPECT_TRUE(LzDecode(*one, out) && out == input) << "input " << k << ", pieces of " << pieceBytes;
        }
    }
}

TEST(LzPieces, LongInputsAreCompressedInPiecesAndStayCompact)
{
    std::mt19937 rng(9);
    const Bytes input = TextLike(rng, 5'000'000);
    const Bytes joined = Compress(input);
    EXPECT_EQ(CompressInPieces(input, 32 * 49152, 2), joined);
    Bytes out(input.size());
    EXPECT_TRUE(LzDecode(joined, out) && out == input);
    // Room for the whole input's worst case only: compressed in one piece.
    Bytes single(LzWorstCase(input.size()));
    single.resize(LzEncode(input, single));
    ASSERT_FALSE(single.empty());
    EXPECT_NE(single, joined);
    EXPECT_LT(joined.size(), single.size() + single.size() / 100);
}

TEST(LzPieces, TooLittleRoomOrOnePieceIsLeftToTheCaller)
{
    std::mt19937 rng(10);
    const Bytes input = TextLike(rng, 10'000);
    Bytes small(input.size());
    EXPECT_EQ(LzEncodeInPieces(input, small, 1000, 2), std::nullopt);
    Bytes room(3 * input.size());
    EXPECT_EQ(LzEncodeInPieces(input, room, input.size(), 2), std::nullopt);
}

TEST(LzPieces, ShapeFindsTheEdgeLiteralsAndRefusesDamagedStreams)
{
    std::mt19937 rng(11);
    const Bytes input = TextLike(rng, 3000);
    const Bytes stream = Compress(input);
    // The first and the last literals are found where the stream keeps them.
    const std::optional<LzStreamShape> shape = ShapeOfLzStream(stream);
    ASSERT_TRUE(shape);
    EXPECT_TRUE(shape->hasMatch);
    ASSERT_GT(shape->head, 0u);
    EXPECT_TRUE(std::equal(input.begin(), input.begin() + shape->head, stream.begin() + shape->headCode));
    EXPECT_TRUE(std::equal(input.end() - shape->tail, input.end(), stream.end() - 3 - shape->tail));
    for (size_t length = 0; length < stream.size(); ++length)
        EXPECT_EQ(ShapeOfLzStream(Bytes(stream.begin(), stream.begin() + length)), std::nullopt) << length;
    Bytes trailing = stream;
    trailing.push_back(0);
    EXPECT_EQ(ShapeOfLzStream(trailing), std::nullopt);
}

}  // namespace
}  // namespace tarvex
