#pragma once
// A pack's file system mounted through the kernel's FUSE: mounted read-only,
// then (unless it stays in the foreground) gone to the background once the
// mount is in place, served until it is unmounted (fusermount3 -u) or the
// program is told to stop (SIGINT, SIGTERM, SIGHUP), and unmounted on the
// way out.
//
// Calls are answered on one thread, one at a time: extraction keeps one open
// pack, one piece buffer and the scramblers' program-wide positions, and a
// plug-in module may decode on one thread only; the kernel's page cache
// answers repeated reads of the unchanging files without asking again.
#include <string>

#include "talk/Prompt.h"
#include "tools/epk/PackFileSystem.h"

namespace tarvex::epk {

struct MountOptions {
    std::string packPath;    // shown as the mount's source
    std::string mountPoint;  // an absolute path of a folder
    bool foreground = false;
};

// False, reported, when the mount cannot be made or its serving fails.
bool ServeMount(PackFileSystem& fileSystem, const MountOptions& options, IPrompt& prompt);

}  // namespace tarvex::epk
