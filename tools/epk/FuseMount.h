#pragma once
// A pack's file system mounted through the kernel's FUSE: mounted read-only,
// then (unless it stays in the foreground) gone to the background once the
// mount is in place, served until it is unmounted (fusermount3 -u) or the
// program is told to stop (SIGINT, SIGTERM, SIGHUP), and unmounted on the
// way out.
//
// Calls are answered on several threads at once, so that a reader never
// waits for another's decoding. Names come with their attributes when a
// folder is listed, so that a program walking the tree needs no lookup per
// item, and the kernel caches names, attributes, listings and file pages for
// as long as it likes: nothing in a mounted pack ever changes.
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
