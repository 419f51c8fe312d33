// epk mount: a pack shown read-only as a folder tree at a mount point.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "base/SystemErrorText.h"
#include "platform/FileIo.h"
#include "talk/LockedPrompt.h"
#include "talk/Messages.h"
#include "tools/epk/Commands.h"
#include "tools/epk/Console.h"
#include "tools/epk/FuseMount.h"
#include "tools/epk/HeldPackFile.h"
#include "tools/epk/PackSession.h"

namespace tarvex::epk {
namespace {

constexpr const char* kBadMountPoint = "无法挂载到“%s”！\n%s";
constexpr const char* kMountPointNotAFolder = "无法挂载到“%s”！\n它不是文件夹";

// The mount point as an absolute path (the background process leaves the
// working folder); nothing (reported) unless it is a folder.
std::optional<std::string> MountPointPath(const std::string& given)
{
    char resolved[PATH_MAX];
    struct stat st {};
    if (!::realpath(given.c_str(), resolved) || ::stat(resolved, &st) != 0) {
        PrintErr(Printf(kBadMountPoint, given.c_str(), SystemErrorText(errno).c_str()) + "\n");
        return std::nullopt;
    }
    if (!S_ISDIR(st.st_mode)) {
        PrintErr(Printf(kMountPointNotAFolder, given.c_str()) + "\n");
        return std::nullopt;
    }
    return std::string(resolved);
}

MountAttributes AttributesOf(const struct stat& pack)
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    MountAttributes attributes;
    attributes.uid = ::getuid();
    attributes.gid = ::getgid();
    attributes.fileMode = 0666 & ~mask;
    attributes.folderMode = 0777 & ~mask;
    attributes.time = pack.st_mtim;
    attributes.packBytes = static_cast<uint64_t>(pack.st_size);
    return attributes;
}

}  // namespace

int RunMount(const CliArgs& args)
{
    const std::string& packPath = args.positional[0];
    const std::optional<std::string> mountPoint = MountPointPath(args.positional[1]);
    if (!mountPoint) return kExitFailure;

    // The pack is opened once, here, and held: its tables and its files are
    // read through that descriptor, never through the pack's path again, so
    // that a pack saved over while it is mounted (a new file renamed into
    // its place) goes on being served as it was.
    char resolved[PATH_MAX];
    const std::string shownPath = ::realpath(packPath.c_str(), resolved) ? resolved : packPath;
    PackSession session;
    if (!session.Open(packPath, args)) return kExitFailure;
    // Files are read on several threads, each of which may have to say why
    // one cannot be.
    LockedPrompt prompt(session.prompt);
    PackExtractor extractor(session.archive, prompt);
    if (!extractor.Open()) return kExitFailure;
    const HeldPack& pack = *session.archive.HeldFile();
    HeldPackFile held(pack, shownPath, prompt);
    struct stat mounted {};
    File look;
    if (!pack.Reopen(look) || ::fstat(look.Native(), &mounted) != 0) {
        PrintErr(Printf(msg::kCannotOpenFile, packPath.c_str(), SystemErrorText(errno).c_str()) + "\n");
        return kExitFailure;
    }

    PackFileSystem fileSystem(extractor, held, MountTree(session.catalogue, session.prompt), AttributesOf(mounted),
                              prompt);
    return ServeMount(fileSystem, {shownPath, *mountPoint, args.Has("--foreground")}, session.prompt) ? kExitOk
                                                                                                      : kExitFailure;
}

}  // namespace tarvex::epk
