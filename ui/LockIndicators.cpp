#include "ui/LockIndicators.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace tarvex {
namespace {

bool LedOn(const std::filesystem::path& led)
{
    std::ifstream in(led / "brightness");
    int value = 0;
    return in >> value && value > 0;
}

}  // namespace

LockStates ReadLockStates()
{
    LockStates states;
    std::error_code error;
    for (const auto& led : std::filesystem::directory_iterator("/sys/class/leds", error)) {
        const std::string name = led.path().filename().string();
        const auto endsWith = [&name](const std::string& tail) {
            return name.size() >= tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
        };
        if (endsWith("::capslock")) states.caps = states.caps || LedOn(led.path());
        if (endsWith("::numlock")) states.num = states.num || LedOn(led.path());
        if (endsWith("::scrolllock")) states.scroll = states.scroll || LedOn(led.path());
    }
    return states;
}

}  // namespace tarvex
