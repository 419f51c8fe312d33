#pragma once
// Paths as Windows' wide functions take them.
#include <optional>
#include <string>
#include <string_view>

namespace tarvex {

// The UTF-8 path as an absolute UTF-16 path with '\' between names and the
// "\\?\" prefix, under which Windows takes every name literally: no device
// names (a file "CON" in a folder is a file), no trailing dots or blanks cut
// off, no limit of 260 characters. "." and ".." go by their names, as Windows
// itself takes them. Paths already in "\\?\" or "\\.\" form stay as they are.
// Empty when the text is not UTF-8 or no absolute path can be made of it.
std::optional<std::wstring> WidePath(std::string_view utf8);

// The same path without the prefix where it needs none (for calls that do
// not take it, such as loading a module).
std::wstring PlainWidePath(const std::wstring& wide);

// Whether the wide path names a device or a pipe ("\\.\PIPE\x", "\\.\COM1"),
// not a file of a disk; pipe tells which.
bool IsDevicePath(const std::wstring& wide, bool& pipe);

}  // namespace tarvex
