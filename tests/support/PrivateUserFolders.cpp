#include "tests/support/PrivateUserFolders.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "tests/support/TempDir.h"

namespace tarvex::test {
namespace {

// Each variable and its folder under the private root. XDG_RUNTIME_DIR must
// be a folder only its owner may enter, as every folder made here is.
struct Place {
    const char* variable;
    const char* folder;
};
constexpr Place kPlaces[] = {
    {"HOME", "home"},
    {"XDG_CONFIG_HOME", "home/.config"},
    {"XDG_CACHE_HOME", "home/.cache"},
    {"XDG_DATA_HOME", "home/.local/share"},
    {"XDG_STATE_HOME", "home/.local/state"},
    {"TMPDIR", "tmp"},
    {"XDG_RUNTIME_DIR", "runtime"},
};

bool MakeFolders(const std::string& path)
{
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}

}  // namespace

int RunInPrivateUserFolders(const std::function<int()>& run)
{
    const char* temp = std::getenv("TMPDIR");
    std::string root = std::string(temp && *temp ? temp : "/tmp") + "/tarvex-tests-XXXXXX";
    if (!::mkdtemp(root.data())) {
        std::fprintf(stderr, "cannot make the test program's own folder %s: %s\n", root.c_str(), std::strerror(errno));
        return 1;
    }
    // A display the user chose is still reached: X finds its authority file through HOME.
    const char* home = std::getenv("HOME");
    if (home && *home && !std::getenv("XAUTHORITY"))
        ::setenv("XAUTHORITY", (std::string(home) + "/.Xauthority").c_str(), 1);
    for (const Place& place : kPlaces) {
        const std::string path = root + "/" + place.folder;
        if (!MakeFolders(path) || ::setenv(place.variable, path.c_str(), 1) != 0) {
            std::fprintf(stderr, "cannot make the test program's own folder %s: %s\n", path.c_str(),
                         std::strerror(errno));
            RemoveTree(root);
            return 1;
        }
    }
    const int status = run();
    RemoveTree(root);
    return status;
}

}  // namespace tarvex::test
