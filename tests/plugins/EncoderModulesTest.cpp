// The encoder modules Tarvex ships, called through their exports as any host
// calls them: round trips, stable output, ratios against the built-in LZ, and
// damaged or hostile streams.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

#include "base/GbkText.h"
#include "codecs/LzCodec.h"
#include "schemes/PluginHost.h"
#include "tests/plugins/ModuleFolder.h"

namespace tarvex {
namespace {

using Bytes = std::vector<uint8_t>;

// Bytes written after the output a decoder is allowed to fill.
constexpr size_t kCanary = 64;
constexpr uint8_t kCanaryByte = 0xCD;

class Encoder {
public:
    explicit Encoder(const std::string& file) : file_(file)
    {
        std::string error;
        std::optional<LoadedModule> loaded = LoadedModule::Open(std::string(SHIPPED_MODULE_DIR) + "/" + file, error);
        EXPECT_TRUE(loaded) << error;
        if (!loaded) return;
        module_ = std::move(*loaded);
        memNeeded_ = module_->Find<edl_getMemNeeded_fn>("getMemNeeded");
        encode_ = module_->Find<edl_Encode_fn>("Encode");
        decode_ = module_->Find<edl_Decode_fn>("Decode");
        bounded_ = module_->Find<edl_DecodeBounded_fn>("DecodeBounded");
        EXPECT_TRUE(memNeeded_ && encode_ && decode_ && bounded_) << file;
    }
    bool Ready() const { return bounded_ != nullptr; }

    // The stored bytes, in a buffer of exactly getMemNeeded bytes.
    std::optional<Bytes> Encode(const Bytes& input) const
    {
        const uint32_t n = static_cast<uint32_t>(input.size());
        Bytes out(memNeeded_(n));
        uint32_t length = 0;
        if (out.empty() || !encode_(input.data(), n, out.data(), &length) || length > out.size()) return std::nullopt;
        out.resize(length);
        return out;
    }
    // Decodes into a buffer of `size` bytes followed by canary bytes; empty
    // when the module refuses. A write past `size` fails the test.
    std::optional<Bytes> Decode(const Bytes& stored, size_t size, bool bounded) const
    {
        Bytes out(size + kCanary, kCanaryByte);
        const uint32_t storedLen = static_cast<uint32_t>(stored.size());
        const bool ok = bounded ? bounded_(stored.data(), storedLen, out.data(), static_cast<uint32_t>(size))
                                : decode_(stored.data(), storedLen, out.data());
        for (size_t i = size; i < out.size(); ++i)
            if (out[i] != kCanaryByte) ADD_FAILURE() << file_ << " wrote past the output at " << i;
        if (!ok) return std::nullopt;
        out.resize(size);
        return out;
    }
    // Whether the plain Decode accepts the stream, given a buffer of exactly
    // `size` bytes: under the address sanitizer a write past it fails the
    // test, elsewhere the canary bytes of Decode above catch it.
    bool PlainDecodeAccepts(const Bytes& stored, size_t size) const
    {
#if defined(__SANITIZE_ADDRESS__)
        Bytes out(size);
        return decode_(stored.data(), static_cast<uint32_t>(stored.size()), out.data()) != 0;
#else
        return Decode(stored, size, false).has_value();
#endif
    }

private:
    std::string file_;
    std::optional<LoadedModule> module_;
    edl_getMemNeeded_fn memNeeded_ = nullptr;
    edl_Encode_fn encode_ = nullptr;
    edl_Decode_fn decode_ = nullptr;
    edl_DecodeBounded_fn bounded_ = nullptr;
};

Bytes SourceText()
{
    Bytes text;
    for (const char* folder : {"catalogue", "pack", "platform"}) {
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(std::string(SOURCE_DIR) + "/" + folder)) {
            if (!entry.is_regular_file()) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            text.insert(text.end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    return text;
}

class ShippedModule : public ::testing::TestWithParam<std::string> {};

TEST_P(ShippedModule, RoundTripsEveryShapeOfDataWithStableOutput)
{
    const Encoder encoder(GetParam());
    ASSERT_TRUE(encoder.Ready());
    Bytes allValues;
    for (int i = 0; i < 16 * 256; ++i) allValues.push_back(static_cast<uint8_t>(i));
    const std::vector<std::pair<const char*, Bytes>> inputs = {
        {"one byte", {0x41}},
        {"short text", Bytes{'h', 'e', 'l', 'l', 'o', ',', ' ', 'h', 'e', 'l', 'l', 'o'}},
        {"text", test::TextLikeBytes(200000, 1)},
        {"random", test::RandomBytes(65536, 2)},
        {"one long run", Bytes(1 << 20, 7)},
        {"every byte value", allValues},
    };
    std::vector<Bytes> streams;
    for (const auto& [shape, input] : inputs) {
        SCOPED_TRACE(shape);
        const std::optional<Bytes> stored = encoder.Encode(input);
        ASSERT_TRUE(stored);
        streams.push_back(*stored);
        EXPECT_EQ(encoder.Encode(input), stored);  // the bytes depend only on the input
        EXPECT_EQ(encoder.Decode(*stored, input.size(), true), input);
        EXPECT_EQ(encoder.Decode(*stored, input.size(), false), input);
        // Told another size, the stream does not fit.
        EXPECT_FALSE(encoder.Decode(*stored, input.size() + 1, true));
        EXPECT_FALSE(encoder.Decode(*stored, input.size() - 1, true));
    }
    // Nor on what the module encoded before (a module may keep its state
    // between calls): in the other order, every input gives the same bytes.
    for (size_t k = inputs.size(); k-- > 0;) EXPECT_EQ(encoder.Encode(inputs[k].second), streams[k]) << inputs[k].first;
    // Nor on the thread, with other threads encoding and decoding at the
    // same time (the module declares that they may).
    std::vector<std::thread> threads;
    for (size_t t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (size_t k = 0; k < 2 * inputs.size(); ++k) {
                const auto& [shape, input] = inputs[(k + t) % inputs.size()];
                const Bytes& stream = streams[(k + t) % inputs.size()];
                EXPECT_EQ(encoder.Encode(input), stream) << shape;
                EXPECT_EQ(encoder.Decode(stream, input.size(), k % 2 == 0), input) << shape;
            }
        });
    }
    for (std::thread& t : threads) t.join();
}

TEST_P(ShippedModule, RefusesDamagedStreamsWithoutWritingPastTheFile)
{
    const Encoder encoder(GetParam());
    ASSERT_TRUE(encoder.Ready());
    const Bytes input = test::TextLikeBytes(5000, 3);
    const Bytes stored = encoder.Encode(input).value();

    for (size_t cut : {size_t{0}, size_t{1}, size_t{3}, size_t{4}, size_t{5}, stored.size() / 2, stored.size() - 1}) {
        const Bytes shorter(stored.begin(), stored.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_FALSE(encoder.Decode(shorter, input.size(), true)) << "cut at " << cut;
        EXPECT_FALSE(encoder.Decode(shorter, input.size(), false)) << "cut at " << cut;
    }
    Bytes longer = stored;
    longer.push_back(0);
    EXPECT_FALSE(encoder.Decode(longer, input.size(), true));
    EXPECT_FALSE(encoder.Decode(longer, input.size(), false));
    Bytes twice = stored;
    twice.insert(twice.end(), stored.begin(), stored.end());
    EXPECT_FALSE(encoder.Decode(twice, input.size(), true));
    EXPECT_FALSE(encoder.Decode(twice, input.size() * 2, true));

    // Any changed byte: the stream is refused, or (where the change does not
    // matter) gives the file back exactly.
    for (size_t i = 0; i < stored.size(); ++i) {
        Bytes damaged = stored;
        damaged[i] ^= 0x10;
        const std::optional<Bytes> out = encoder.Decode(damaged, input.size(), true);
        if (out) {
            EXPECT_EQ(*out, input) << "byte " << i;
        }
    }
    std::mt19937 random(11);
    for (int round = 0; round < 500; ++round) {
        Bytes damaged = stored;
        for (int k = 0; k < 1 + round % 4; ++k) damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
        if (round % 3 == 0) damaged.resize(random() % damaged.size());
        const std::optional<Bytes> out = encoder.Decode(damaged, input.size(), true);
        if (out) {
            EXPECT_EQ(*out, input) << "round " << round;
        }
    }
}

// The stream with the file size it records changed: the first four bytes of
// a Deflate stream; in a Zstandard frame header, the content size field,
// which for the sizes used here is two bytes holding the size less 256.
Bytes WithRecordedSize(const std::string& module, Bytes stream, uint32_t size)
{
    if (module == "deflate.edl") {
        for (size_t i = 0; i < 4; ++i) stream.at(i) = static_cast<uint8_t>(size >> (8 * i));
        return stream;
    }
    const uint8_t descriptor = stream.at(4);
    EXPECT_EQ(descriptor >> 6, 1) << "a two-byte content size field";
    const bool singleSegment = descriptor & 0x20;
    const size_t dictionaryBytes = std::array<size_t, 4>{0, 1, 2, 4}[descriptor & 3];
    const size_t at = 5 + (singleSegment ? 0 : 1) + dictionaryBytes;
    stream.at(at) = static_cast<uint8_t>(size - 256);
    stream.at(at + 1) = static_cast<uint8_t>((size - 256) >> 8);
    return stream;
}

// A host that knows only the nine exports calls the plain Decode with a
// buffer of the size the pack records. Every damaged stream is refused
// before anything is written past that size.
TEST_P(ShippedModule, PlainDecodeRefusesDamagedStreamsWithinTheRecordedSize)
{
    const std::string& module = GetParam();
    const Encoder encoder(module);
    ASSERT_TRUE(encoder.Ready());
    const Bytes input = test::TextLikeBytes(5000, 3);
    const Bytes stored = encoder.Encode(input).value();
    Bytes longerChecked = encoder.Encode(test::TextLikeBytes(20000, 4)).value();
    longerChecked.back() ^= 0x55;  // the last byte of the stream's check

    const std::vector<std::pair<const char*, Bytes>> damaged = {
        {"cut short by a byte", Bytes(stored.begin(), stored.end() - 1)},
        {"cut in half", Bytes(stored.begin(), stored.begin() + static_cast<std::ptrdiff_t>(stored.size() / 2))},
        {"recorded size raised", WithRecordedSize(module, stored, 6000)},
        {"recorded size lowered", WithRecordedSize(module, stored, 4000)},
        {"a longer file's stream with a broken check", longerChecked},
        {"a longer file's stream recording this size", WithRecordedSize(module, longerChecked, 5000)},
    };
    EXPECT_TRUE(encoder.PlainDecodeAccepts(stored, input.size()));
    for (const auto& [what, stream] : damaged) EXPECT_FALSE(encoder.PlainDecodeAccepts(stream, input.size())) << what;
}

INSTANTIATE_TEST_SUITE_P(All, ShippedModule, ::testing::ValuesIn(test::ShippedModules()), [](const auto& info) {
    std::string name = info.param.substr(0, info.param.size() - 4);
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

TEST(ShippedModules, AreAcceptedAndNameThemselvesInGbk)
{
    struct Expected {
        const char* name;
        const char* infoStart;
    };
    const std::map<std::string, Expected> expected = {
        {"deflate.edl", {"Deflate", "Deflate 编码（zlib，压缩级别 9）\n通用的无损压缩"}},
        {"zstd-fast.edl", {"Zstandard 快速", "Zstandard 快速编码（zstd，压缩级别 3）\n编码和解码都很快"}},
        {"zstd-strong.edl", {"Zstandard 强力", "Zstandard 强力编码（zstd，压缩级别 19）\n压缩率高而编码较慢"}},
    };
    const std::vector<ModuleInfo> modules = PluginHost(SHIPPED_MODULE_DIR).Survey();
    ASSERT_EQ(modules.size(), expected.size());
    for (const ModuleInfo& m : modules) {
        SCOPED_TRACE(m.fileName);
        ASSERT_EQ(expected.count(m.fileName), 1u);
        EXPECT_EQ(m.verdict, ModuleVerdict::Accepted);
        EXPECT_TRUE(m.canDecode);
        EXPECT_TRUE(m.threadSafe);
        EXPECT_EQ(GbkToUtf8(m.providerName), expected.at(m.fileName).name);
        const std::optional<std::string> info = GbkToUtf8(m.infoText);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->rfind(expected.at(m.fileName).infoStart, 0), 0u) << *info;
    }
}

TEST(ShippedModules, StoreRealTextSmallerThanTheBuiltInLz)
{
    const Bytes text = SourceText();
    ASSERT_GT(text.size(), 50000u);
    Bytes lz(text.size() * 3);
    const uint32_t lzSize = LzEncode(text, lz);
    ASSERT_GT(lzSize, 0u);

    std::map<std::string, size_t> sizes;
    for (const std::string& module : test::ShippedModules()) {
        const Encoder encoder(module);
        ASSERT_TRUE(encoder.Ready());
        sizes[module] = encoder.Encode(text).value().size();
        EXPECT_LT(sizes[module], lzSize * 9 / 10) << module;
    }
    EXPECT_LT(sizes["zstd-strong.edl"], sizes["zstd-fast.edl"]);
}

}  // namespace
}  // namespace tarvex
