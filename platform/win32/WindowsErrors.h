#pragma once
// Windows' reasons for a failure, in Chinese.
#include <string>
#include <string_view>

namespace tarvex {

// The text of a Windows error code: the system's own words in Simplified
// Chinese where it has them, else a text of ours for the common codes, else
// "系统错误" and the number. A "%1" in the system's words becomes `subject`
// (a file name, say).
std::string WindowsErrorText(unsigned long code, std::string_view subject = {});

// WindowsErrorText of the calling thread's last error.
std::string LastErrorText(std::string_view subject = {});

}  // namespace tarvex
