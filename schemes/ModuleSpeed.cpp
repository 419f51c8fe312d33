#include "schemes/ModuleSpeed.h"

#include <chrono>
#include <cstring>
#include <functional>
#include <optional>

#include "base/ByteBuffer.h"
#include "talk/Messages.h"

namespace tarvex {
namespace {

constexpr size_t kBufferBytes = 2 << 20;
// Runs go on until this much time has passed (or kMaxRuns is reached), so
// that a fast module is not measured by one clock tick.
constexpr auto kMeasureFor = std::chrono::milliseconds(200);
constexpr int kMaxRuns = 200;

ModuleSpeed Failure(const char* text)
{
    return {false, 0, text};
}

// Calls run until enough time has passed; the speed of n bytes per call.
ModuleSpeed Time(size_t n, const std::function<bool()>& run)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    int runs = 0;
    Clock::duration spent{};
    do {
        if (!run()) return {};
        ++runs;
        spent = Clock::now() - start;
    } while (spent < kMeasureFor && runs < kMaxRuns);
    const double seconds = std::max(std::chrono::duration<double>(spent).count(), 1e-9);
    return {true, static_cast<double>(n) * runs / seconds / (1 << 20), {}};
}

// One Encode of the input into a buffer of getMemNeeded bytes: the encoded
// length; empty when the module cannot or gives a length it cannot have.
std::optional<uint32_t> EncodeOnce(const LoadedModule& module, const std::vector<uint8_t>& input, ByteBuffer& output)
{
    const ModuleEncoding encoding = CallEncode(module.Find<edl_Encode_fn>("Encode"), input, output.span());
    if (encoding.answer != EncodeAnswer::Encoded) return std::nullopt;
    return encoding.length;
}

}  // namespace

std::vector<uint8_t> SpeedTestBuffer()
{
    // Half of it words of a small vocabulary (compressible), half the bytes
    // of a linear congruential generator (not compressible).
    static const char* const kWords[] = {"pack ",       "folder ",     "file ", "scheme ",   "tarvex ",
                                         "level1.map ", "0123456789 ", "\r\n",  "main.lua ", "\t"};
    std::vector<uint8_t> buffer;
    buffer.reserve(kBufferBytes);
    uint32_t state = 0x2545F491u;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 24;
    };
    while (buffer.size() < kBufferBytes / 2) {
        const char* word = kWords[next() % std::size(kWords)];
        buffer.insert(buffer.end(), word, word + std::strlen(word));
    }
    buffer.resize(kBufferBytes / 2);
    while (buffer.size() < kBufferBytes) buffer.push_back(static_cast<uint8_t>(next()));
    return buffer;
}

ModuleSpeed MeasureEncodeSpeed(const LoadedModule& module)
{
    const auto memNeeded = module.Find<edl_getMemNeeded_fn>("getMemNeeded");
    if (!memNeeded || !module.Find<edl_Encode_fn>("Encode")) return Failure(msg::kSpeedCannotEncode);
    const auto held = module.Calls().Hold();
    const std::vector<uint8_t> input = SpeedTestBuffer();
    const uint32_t need = memNeeded(static_cast<uint32_t>(input.size()));
    if (need == 0) return Failure(msg::kSpeedCannotEncode);
    std::optional<ByteBuffer> output = ByteBuffer::Allocate(need);
    if (!output) return Failure(msg::kSpeedNoMemory);
    ModuleSpeed speed = Time(input.size(), [&] { return EncodeOnce(module, input, *output).has_value(); });
    if (!speed.ok) speed.failure = msg::kSpeedCannotEncode;
    return speed;
}

ModuleSpeed MeasureDecodeSpeed(const LoadedModule& module)
{
    const auto decode = module.Find<edl_Decode_fn>("Decode");
    if (!decode) return Failure(msg::kSpeedNoDecoder);
    const auto bounded = module.Find<edl_DecodeBounded_fn>("DecodeBounded");
    const auto memNeeded = module.Find<edl_getMemNeeded_fn>("getMemNeeded");
    if (!memNeeded || !module.Find<edl_Encode_fn>("Encode")) return Failure(msg::kSpeedCannotEncode);
    const auto held = module.Calls().Hold();

    const std::vector<uint8_t> input = SpeedTestBuffer();
    const auto n = static_cast<uint32_t>(input.size());
    const uint32_t need = memNeeded(n);
    if (need == 0) return Failure(msg::kSpeedCannotEncode);
    std::optional<ByteBuffer> stored = ByteBuffer::Allocate(need);
    std::optional<ByteBuffer> decoded = ByteBuffer::Allocate(n);
    if (!stored || !decoded) return Failure(msg::kSpeedNoMemory);
    const std::optional<uint32_t> encoded = EncodeOnce(module, input, *stored);
    if (!encoded) return Failure(msg::kSpeedCannotEncode);

    const uint32_t length = *encoded;
    ModuleSpeed speed = Time(n, [&] {
        return bounded ? bounded(stored->data(), length, decoded->data(), n) != 0
                       : decode(stored->data(), length, decoded->data()) != 0;
    });
    if (!speed.ok) return Failure(msg::kSpeedCannotDecode);
    if (std::memcmp(decoded->data(), input.data(), n) != 0) return Failure(msg::kSpeedDecodedWrong);
    return speed;
}

std::string SpeedText(const ModuleSpeed& speed)
{
    return speed.ok ? Printf("%.1f MB/s", speed.megabytesPerSecond) : speed.failure;
}

}  // namespace tarvex
