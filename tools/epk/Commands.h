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
int RunCat(const CliArgs& args);
int RunMount(const CliArgs& args);
int RunTest(const CliArgs& args);
int RunInfo(const CliArgs& args);
int RunAdd(const CliArgs& args);
int RunMkdir(const CliArgs& args);
int RunRm(const CliArgs& args);
int RunMv(const CliArgs& args);
int RunCp(const CliArgs& args);
int RunRename(const CliArgs& args);
int RunScheme(const CliArgs& args);
int RunPasswd(const CliArgs& args);
int RunSync(const CliArgs& args);
int RunDiff(const CliArgs& args);
int RunPlugins(const CliArgs& args);

}  // namespace tarvex::epk
