#pragma once
// How fast an encoder module encodes and decodes: a fixed test buffer of
// text-like and random bytes is run through its exports and timed.
#include <cstdint>
#include <string>
#include <vector>

#include "schemes/PluginHost.h"

namespace tarvex {

struct ModuleSpeed {
    bool ok = false;
    double megabytesPerSecond = 0;  // MiB of the file's own bytes per second
    std::string failure;            // UTF-8, when not ok
};

// The test buffer: the same bytes on every run and every machine.
std::vector<uint8_t> SpeedTestBuffer();

// Both run under the module's call lock, so that no other call of a module
// that did not declare itself thread-safe overlaps theirs.
// Encodes the test buffer with the module, as often as it takes to measure.
ModuleSpeed MeasureEncodeSpeed(const LoadedModule& module);
// Encodes the test buffer once, then decodes it as often as it takes to
// measure; the decoded bytes must be the buffer's.
ModuleSpeed MeasureDecodeSpeed(const LoadedModule& module);

// The text a speed field shows for a result: "%.1f MB/s" or the failure.
std::string SpeedText(const ModuleSpeed& speed);

}  // namespace tarvex
