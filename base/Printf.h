#pragma once
#include <string>

namespace tarvex {

// snprintf into a std::string. MinGW checks formats by Microsoft's rules
// unless told GNU's, which its vsnprintf follows in C++ (%zu, %llu).
#ifdef __MINGW32__
std::string Printf(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
#else
std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
#endif

}  // namespace tarvex
