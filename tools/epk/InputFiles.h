#pragma once
// Files that epk reads whole: a list of paths (@FILE) or a password
// (--password-file). Such a file may be a regular file, a pipe (a named one,
// /dev/stdin, a process substitution: opening it waits for a writer, reading
// it waits for the writer's end, since the whole text is wanted), the null
// device (nothing to read) or a terminal this session runs on. Folders,
// sockets and other devices are refused before anything is opened: opening
// a device may do something of its own. On Windows NUL and /dev/null are the
// null device, CON, CONIN$ and /dev/tty the console, /dev/stdin the standard
// input.
#include <optional>
#include <string>

#include "platform/FileIo.h"

namespace tarvex::epk {

enum class InputKind {
    Text,      // a regular file or a pipe
    Null,      // the null device: nothing is opened
    Terminal,  // opened for reading and writing, to be asked on
};

class InputFile {
public:
    // False, with Error() set, when path names nothing that can be read here.
    bool Open(const std::string& path);
    InputKind Kind() const { return kind_; }
    // The open terminal or file; none for the null device.
    File& Handle() { return file_; }
    // Everything there is to read, up to its end.
    std::optional<std::string> ReadToEnd();
    // Why the last call failed, for the user.
    const std::string& Error() const { return error_; }

private:
    bool Fail(std::string reason);

    File file_;
    InputKind kind_ = InputKind::Text;
    std::string error_;
};

}  // namespace tarvex::epk
