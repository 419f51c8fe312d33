#pragma once
// A folder on disk held open for making things in it. Sub-folders are made
// and entered, and files created, relative to the held folder and never
// through a symbolic link, so that whatever happens to the folder's path
// meanwhile (another program swapping a folder for a link, say), nothing
// lands outside it.
#include <memory>
#include <string>

#include "platform/FileIo.h"

namespace tarvex {

class DiskFolder {
public:
    // The folder at path, which must exist; symbolic links on the way are
    // followed, as the user named it. Nothing, with `error` set, otherwise.
    static std::shared_ptr<const DiskFolder> Open(const std::string& path, std::string& error);

    enum class ChildStatus { Ok, NotAFolder, Failed };
    // The sub-folder `name` (one name), made when it is missing. A symbolic
    // link or anything but a folder of that name is NotAFolder; Failed sets
    // `error`.
    ChildStatus Child(const std::string& name, std::shared_ptr<const DiskFolder>& out, std::string& error) const;

    // Creates the file `name` in it for reading and writing where nothing
    // is; false when anything is there (a link included) or the file cannot
    // be made, which a replacing write (SafeFileWriter::OpenIn) then tells.
    bool CreateNewFile(const std::string& name, File& file) const;
    // Removes the file `name` from it.
    void RemoveFile(const std::string& name) const;
    // Whether anything is there by the name (a link, even to nothing, too).
    bool Has(const std::string& name) const;

    const File& Handle() const { return folder_; }
    // Its path, for messages: the path it was opened at, and the names it
    // was entered by since.
    const std::string& Path() const { return path_; }
    // The path of a name inside it, for messages.
    std::string PathOf(const std::string& name) const;

private:
    File folder_;
    std::string path_;
};

}  // namespace tarvex
