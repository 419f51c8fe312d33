#pragma once
// Plug-in folders for the tests: a temporary folder's "plugins" filled with
// copies of the test modules or of the modules Tarvex ships.
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace tarvex::test {

// Copies the modules (file names) from `from` into dir/<folder>, made as
// needed; returns that folder's path.
inline std::string InstallModules(const TempDir& dir, const std::vector<std::string>& names,
                                  const std::string& from = TEST_MODULE_DIR, const std::string& folder = "plugins")
{
    const std::string target = dir.MakeDir(folder);
    for (const std::string& name : names)
        std::filesystem::copy_file(from + "/" + name, target + "/" + name,
                                   std::filesystem::copy_options::overwrite_existing);
    return target;
}

inline const std::vector<std::string>& ShippedModules()
{
    static const std::vector<std::string> names = {"deflate.edl", "zstd-fast.edl", "zstd-strong.edl"};
    return names;
}

}  // namespace tarvex::test
