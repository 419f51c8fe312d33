#pragma once
// The commands of epk. Each returns the exit status: 0 success, 1 failure.
#include "tools/epk/CliArgs.h"

namespace tarvex::epk {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

int RunCreate(const CliArgs& args);
int RunList(const CliArgs& args);
int RunExtract(const CliArgs& args);
int RunTest(const CliArgs& args);
int RunInfo(const CliArgs& args);

}  // namespace tarvex::epk
