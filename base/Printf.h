#pragma once
#include <string>

namespace tarvex {

// snprintf into a std::string.
std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tarvex
