#pragma once
// The system's reasons for a failure in the program's own language: the
// common error numbers have texts of their own, any other shows its number.
#include <string>

namespace tarvex {

// Reasons a file operation gives besides the system's own.
inline constexpr const char* kFileEndedEarly = "文件比预期的短";
inline constexpr const char* kFileNotOpen = "文件没有打开";

// What is at a path, as far as reading it as a file goes.
enum class FileKind { Regular, Folder, Pipe, Device, Socket, Other };

// The text for an errno value.
std::string SystemErrorText(int errnum);

// Why a thing of this kind is not read as a file: a folder, a pipe, a device
// or a socket; nullptr for a regular file.
const char* NotRegularFileText(FileKind kind);

}  // namespace tarvex
