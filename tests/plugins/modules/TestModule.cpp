// Encoder modules for the tests: one source, built once per behaviour with
// TM_* switches. The encoding is trivial (a 4-byte little-endian length and
// the bytes XOR 0xA5), so that a test can tell exactly what went where.
#include <cstring>

#if defined(TM_RECORD) || defined(TM_ONE_CALL)
#include <atomic>
#include <chrono>
#include <thread>
#endif
#ifdef TM_SHARED_BUFFER
#include <atomic>
#include <condition_variable>
#include <mutex>
#endif

#include "plugins/EncoderModule.h"

#define TM_STR2(x) #x
#define TM_STR(x) TM_STR2(x)

#ifndef TM_TYPE
#define TM_TYPE EDL_PROVIDER_TYPE
#endif
// Padding that the buffer-filling module writes after the encoding.
#ifndef TM_PAD
#define TM_PAD 0
#endif

namespace {

constexpr uint32_t kHeader = 4;
constexpr uint32_t kPad = TM_PAD;

// Not every variant uses every helper.
[[maybe_unused]] uint32_t MemNeeded(uint32_t n)
{
    return kHeader + n + kPad;
}

[[maybe_unused]] uint32_t Declared(const uint8_t* src)
{
    return static_cast<uint32_t>(src[0]) | static_cast<uint32_t>(src[1]) << 8 | static_cast<uint32_t>(src[2]) << 16 |
           static_cast<uint32_t>(src[3]) << 24;
}

[[maybe_unused]] bool Unxor(const uint8_t* src, uint32_t srcLen, uint8_t* dst, uint32_t size)
{
    if (srcLen != kHeader + size + kPad) return false;
    for (uint32_t i = 0; i < size; ++i) dst[i] = src[kHeader + i] ^ 0xA5;
    return true;
}

#ifdef TM_RECORD
// What the calls to getMemNeeded, Encode, Decode and DecodeBounded were like
// since recording started: how many there were, how many came from another
// thread than the one that started recording, and the most that were in
// progress at once. Each call lasts a little, so that calls that overlap are
// likely to be seen doing so.
std::atomic<std::thread::id> home;
std::atomic<uint32_t> calls{0}, away{0}, running{0}, mostAtOnce{0};

class RecordedCall {
public:
    RecordedCall()
    {
        ++calls;
        if (std::this_thread::get_id() != home.load()) ++away;
        const uint32_t now = ++running;
        uint32_t most = mostAtOnce.load();
        while (now > most && !mostAtOnce.compare_exchange_weak(most, now)) {
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    RecordedCall(const RecordedCall&) = delete;
    RecordedCall& operator=(const RecordedCall&) = delete;
    ~RecordedCall() { --running; }
};
#define TM_RECORD_CALL() const RecordedCall recorded
#else
#define TM_RECORD_CALL() static_cast<void>(0)
#endif

#ifdef TM_ONE_CALL
// A module that may be called one call at a time only: a Decode that meets
// another in progress fails. Each lasts a while, so that calls made at about
// the same time meet.
std::atomic<uint32_t> decoding{0};

bool DecodedAlone()
{
    const uint32_t now = ++decoding;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const bool alone = now == 1 && decoding.load() == 1;
    --decoding;
    return alone;
}
#endif

#ifdef TM_SHARED_BUFFER
// A module that keeps state, as a module that never declared isThreadSafe
// may: Decode goes through one buffer of the module's own. A test can close
// a gate that holds each Decode between filling the buffer and copying it
// out, so that calls made at once meet there and hand out each other's bytes.
uint8_t shared[1 << 16];
std::mutex gateMutex;
std::condition_variable gateOpened;
bool gateClosed = false;
std::atomic<uint32_t> atGate{0};

void PassGate()
{
    std::unique_lock<std::mutex> lock(gateMutex);
    ++atGate;
    gateOpened.wait(lock, [] { return !gateClosed; });
    --atGate;
}
#endif

}  // namespace

extern "C" {

#ifdef TM_RECORD
// Test-only exports: start recording on the calling thread, and read back.
EDL_EXPORT void tmStartRecording(void)
{
    home = std::this_thread::get_id();
    calls = 0;
    away = 0;
    mostAtOnce = 0;
}
EDL_EXPORT void tmRecording(uint32_t* callCount, uint32_t* awayCount, uint32_t* most)
{
    *callCount = calls;
    *awayCount = away;
    *most = mostAtOnce;
}
#endif

#ifdef TM_SHARED_BUFFER
// Test-only exports: close or open the gate, and how many calls wait there.
EDL_EXPORT void tmCloseGate(bool closed)
{
    {
        const std::lock_guard<std::mutex> lock(gateMutex);
        gateClosed = closed;
    }
    gateOpened.notify_all();
}
EDL_EXPORT uint32_t tmAtGate(void)
{
    return atGate;
}
#endif

#ifdef TM_THREAD_SAFE
edl_bool isThreadSafe(void)
{
    return TM_THREAD_SAFE;
}
#endif

#ifndef TM_NO_TYPE
uint32_t getProviderType(void)
{
    return TM_TYPE;
}
#endif

#ifndef TM_NO_NAME
const char* getProviderName(void)
{
#ifdef TM_LONG_NAME
    static char name[301];
    std::memset(name, 'n', 300);
    return name;
#else
    return "Test " TM_STR(TM_ID);
#endif
}
#endif

#ifndef TM_NO_VERSION
uint32_t getProviderVersion(void)
{
    return 0x01020304;
}
#endif

#ifndef TM_NO_INFO
const char* getProviderInfo(void)
{
    return "Test module " TM_STR(TM_ID);
}
#endif

#ifdef TM_ABOUT
void About(void)
{
}
#endif
#ifdef TM_SETTINGS
void Settings(void)
{
}
#endif

#ifndef TM_NO_MEMNEEDED
uint32_t getMemNeeded(uint32_t n)
{
    TM_RECORD_CALL();
    return MemNeeded(n);
}
#endif

#ifndef TM_NO_ENCODE
edl_bool Encode(const uint8_t* src, uint32_t n, uint8_t* dst, uint32_t* encodedLen)
{
    TM_RECORD_CALL();
#ifdef TM_ENCODE_FAILS
    return 0;
#endif
    for (uint32_t i = 0; i < kHeader; ++i) dst[i] = static_cast<uint8_t>(n >> (8 * i));
    for (uint32_t i = 0; i < n; ++i) dst[kHeader + i] = src[i] ^ 0xA5;
    // Every byte of the buffer the host was asked for gets written.
    for (uint32_t i = 0; i < kPad; ++i) dst[kHeader + n + i] = 0xEE;
#if defined(TM_NO_LENGTH)
    // Says it succeeded without saying how much it wrote.
    static_cast<void>(encodedLen);
#elif defined(TM_ZERO_LENGTH)
    *encodedLen = 0;
#elif defined(TM_OVERLONG)
    *encodedLen = MemNeeded(n) + 1;
#else
    *encodedLen = MemNeeded(n);
#endif
    return 1;
}
#endif

#ifndef TM_NO_DECODE
edl_bool Decode(const uint8_t* src, uint32_t srcLen, uint8_t* dst)
{
    TM_RECORD_CALL();
#if defined(TM_DECODE_FAILS) || defined(TM_BOUNDED)
    return 0;
#endif
#ifdef TM_ONE_CALL
    if (!DecodedAlone()) return 0;
#endif
#ifdef TM_SHARED_BUFFER
    if (srcLen < kHeader || Declared(src) > sizeof shared || !Unxor(src, srcLen, shared, Declared(src))) return 0;
    PassGate();
    std::memcpy(dst, shared, Declared(src));
    return 1;
#endif
    return srcLen >= kHeader && Unxor(src, srcLen, dst, Declared(src));
}
#endif

#ifdef TM_BOUNDED
edl_bool DecodeBounded(const uint8_t* src, uint32_t srcLen, uint8_t* dst, uint32_t dstLen)
{
    TM_RECORD_CALL();
    return srcLen >= kHeader && Declared(src) == dstLen && Unxor(src, srcLen, dst, dstLen);
}
#endif

}  // extern "C"
