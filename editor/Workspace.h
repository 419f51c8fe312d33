#pragma once
// A document's workspace: a private folder, made 0700 inside "zvpktmp" in the
// system's temporary folder, for files staged while the document works
// (saving, the encode test). Every document has its own folder, and removing
// it never touches another document's or another program's files.
#include <optional>
#include <random>
#include <string>

namespace tarvex {

class Workspace {
public:
    // Makes the folder; IsReady() tells whether that worked.
    Workspace();
    // Removes the folder with everything in it.
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    bool IsReady() const { return !folder_.empty(); }
    // The shared parent, "<temporary folder>/zvpktmp".
    const std::string& SharedFolder() const { return shared_; }
    const std::string& Folder() const { return folder_; }

    // MakeTempFileName: a new, empty file in the workspace, made exclusively,
    // named from a three-letter random prefix and a unique part; its full
    // path, or nothing when no file could be made.
    std::optional<std::string> MakeTempFileName();

private:
    std::string shared_;
    std::string folder_;
    std::minstd_rand random_;
};

// The system's temporary folder: $TMPDIR when set, else /tmp.
std::string SystemTempFolder();

}  // namespace tarvex
