#include "codecs/RleCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>

namespace tarvex {
namespace {

using Bytes = std::vector<uint8_t>;

// "0700 0000" -> {0x07, 0, 0, 0}; spaces only group digits for reading.
Bytes Hex(std::string_view hex)
{
    Bytes bytes;
    for (size_t k = 0; k < hex.size(); ++k) {
        if (hex[k] != ' ') {
            bytes.push_back(static_cast<uint8_t>(std::stoi(std::string(hex.substr(k++, 2)), nullptr, 16)));
        }
    }
    return bytes;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// count bytes in which no three consecutive bytes are equal.
Bytes NoRuns(size_t count)
{
    Bytes bytes(count);
    for (size_t k = 0; k < count; ++k) {
        bytes[k] = static_cast<uint8_t>(k % 251);
    }
    return bytes;
}

// Runs of random value and length, short ones frequent enough to give literal
// stretches of every size.
Bytes RandomRuns(std::mt19937& rng, size_t count)
{
    Bytes bytes;
    while (bytes.size() < count) {
        const size_t length = rng() % 4 == 0 ? 1 + rng() % 400 : 1 + rng() % 3;
        bytes.insert(bytes.end(), std::min(length, count - bytes.size()), static_cast<uint8_t>(rng()));
    }
    return bytes;
}

constexpr uint8_t kGuard = 0xCD;
constexpr uint32_t kUntouched = 0xDEADBEEF;

// Encodes into a dst with guard bytes past the input's length, which the
// encoder must never touch. Returns the stream or nothing.
std::optional<Bytes> Encode(const Bytes& src)
{
    Bytes dst(src.size() + 16, kGuard);
    uint32_t encodedLen = kUntouched;
    const bool ok = RleEncode(src, dst, encodedLen);
    EXPECT_TRUE(std::all_of(dst.begin() + src.size(), dst.end(), [](uint8_t b) { return b == kGuard; }));
    EXPECT_EQ(ok, encodedLen != kUntouched);
    if (!ok) {
        return std::nullopt;
    }
    dst.resize(encodedLen);
    return dst;
}

TEST(RleEncode, ExactStreams)
{
    const Bytes noRuns = NoRuns(300);
    const auto slice = [&](size_t from, size_t to) { return Bytes(noRuns.begin() + from, noRuns.begin() + to); };
    const struct {
        Bytes input;
        Bytes expected;
    } cases[] = {
        {Bytes(7, 0x41), Hex("07000000 8441")},  // shortest input that shrinks
        {Bytes(130, 0x41), Hex("82000000 FF41")},
        {Bytes(131, 0x41), Hex("83000000 FF41 0141")},  // a left-over byte starts a literal
        {Bytes(132, 0x41), Hex("84000000 FF41 024141")},
        {Bytes(133, 0x41), Hex("85000000 FF41 8041")},
        {Concat({Bytes(2, 0x41), {0x42}, Bytes(20, 0x43)}), Hex("17000000 03414142 9143")},
        {Concat({Bytes(10, 0x41), Bytes(3, 0x42)}), Hex("0D000000 8741 8042")},
        {Concat({noRuns, Bytes(200, 0xEE)}),
         Concat(
             {Hex("F4010000 7F"), slice(0, 127), {0x7F}, slice(127, 254), {0x2E}, slice(254, 300), Hex("FFEE C3EE")})},
    };
    for (const auto& c : cases) {
        const std::optional<Bytes> encoded = Encode(c.input);
        ASSERT_TRUE(encoded) << c.input.size() << " bytes";
        EXPECT_EQ(*encoded, c.expected) << c.input.size() << " bytes";
        Bytes out(c.input.size());
        EXPECT_TRUE(RleDecodeInto(*encoded, out) && out == c.input);
    }
}

TEST(RleEncode, RefusesWhatWouldNotShrink)
{
    std::vector<Bytes> inputs = {NoRuns(7), NoRuns(128), NoRuns(1000),
                                 // The literal check passes, but the second literal header does not fit.
                                 Concat({NoRuns(254), Bytes(5, 9)})};
    for (size_t length = 0; length <= 6; ++length) {
        inputs.insert(inputs.end(), {Bytes(length, 0x41), NoRuns(length)});
    }
    // 126 cycles of 128 literal bytes and a run of three each cost a byte more
    // than they describe; a closing run of 133 then has room for only one packet.
    Bytes overtaking;
    for (int cycle = 0; cycle < 126; ++cycle) {
        const Bytes literal = NoRuns(128);
        overtaking.insert(overtaking.end(), literal.begin(), literal.end());
        overtaking.insert(overtaking.end(), 3, 0xF0);
    }
    overtaking.insert(overtaking.end(), 133, 0xE0);
    inputs.push_back(overtaking);
    for (const Bytes& input : inputs) {
        EXPECT_FALSE(Encode(input)) << input.size() << " bytes";
    }
    uint32_t encodedLen = kUntouched;
    Bytes small(6);
    EXPECT_FALSE(RleEncode(Bytes(7, 0x41), small, encodedLen));
    EXPECT_FALSE(RleEncode(Bytes(7, 0x41), std::span<uint8_t>(), encodedLen));
    EXPECT_EQ(encodedLen, kUntouched);
}

TEST(RleCodec, RandomInputsRoundTripAndNeverGrow)
{
    std::mt19937 rng(2024);
    int shrunk = 0;
    for (int k = 0; k < 400; ++k) {
        const Bytes input = RandomRuns(rng, k < 390 ? rng() % 2000 : 3'000'000);
        const std::optional<Bytes> encoded = Encode(input);
        if (!encoded) {
            continue;
        }
        ++shrunk;
        ASSERT_LE(encoded->size(), input.size());
        ASSERT_EQ(RleStreamLength(*encoded), input.size());
        Bytes out(input.size());
        ASSERT_TRUE(RleDecodeInto(*encoded, out));
        ASSERT_EQ(out, input);
    }
    EXPECT_GT(shrunk, 300);
}

// Streams are decoded as the schemes decode them: their length found by a
// walk over the packets, then decoded into an output of that length.
TEST(RleDecodeInto, ValidStreams)
{
    const struct {
        const char* stored;
        Bytes expected;
    } cases[] = {
        {"00000000", {}},
        {"82000000 FF41", Bytes(130, 0x41)},      // the most output a stored byte may describe
        {"02000000 00 00 024142", {0x41, 0x42}},  // empty literals make no output
        {"05000000 020102 8003", {0x01, 0x02, 0x03, 0x03, 0x03}},
    };
    for (const auto& c : cases) {
        const Bytes stored = Hex(c.stored);
        EXPECT_EQ(RleStreamLength(stored), c.expected.size()) << c.stored;
        Bytes out(c.expected.size());
        EXPECT_TRUE(RleDecodeInto(stored, out)) << c.stored;
        EXPECT_EQ(out, c.expected) << c.stored;
    }
}

TEST(RleDecodeInto, RefusesMalformedStreams)
{
    const char* const cases[] = {
        "010000",             // shorter than the header
        "03000000 034142",    // literal reads past the end
        "03000000 80",        // repeat without its value
        "02000000 03414243",  // literal makes too much
        "02000000 8041",      // repeat makes too much
        "08000000 8441",      // stream ends one byte short
        "FFFFFFFF FF41",      // more than any stream of this size describes
        "FFFFFF7F",
    };
    for (const char* stored : cases) {
        const Bytes bytes = Hex(stored);
        EXPECT_FALSE(RleStreamLength(bytes)) << stored;
        // Decoded into an output of the length the header announces.
        const uint32_t announced = bytes.size() < 4 ? 0 : bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
        if (announced > (1u << 16)) continue;
        Bytes out(announced);
        EXPECT_FALSE(RleDecodeInto(bytes, out)) << stored;
    }
}

TEST(RleDecodeInto, NeedsOutputOfTheAnnouncedLength)
{
    const Bytes stored = Hex("07000000 8441");
    Bytes shorter(6), longer(8), exact(7);
    EXPECT_FALSE(RleDecodeInto(stored, shorter));
    EXPECT_FALSE(RleDecodeInto(stored, longer));
    EXPECT_TRUE(RleDecodeInto(stored, exact));
    EXPECT_EQ(exact, Bytes(7, 0x41));
    // Packets that describe 8 bytes under a header that announces 7.
    EXPECT_FALSE(RleDecodeInto(Hex("07000000 8541"), longer));
}

}  // namespace
}  // namespace tarvex
