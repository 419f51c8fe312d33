#include "schemes/ModuleCallLock.h"

#include <map>

namespace tarvex {

std::shared_ptr<ModuleCallLock> ModuleCallLock::For(const void* moduleHandle)
{
    // The process's one table of them, holding only modules loaded now: a
    // handle the loader hands out again later may be another module.
    static std::mutex tableMutex;
    static std::map<const void*, std::weak_ptr<ModuleCallLock>> table;
    const std::lock_guard<std::mutex> guard(tableMutex);
    std::erase_if(table, [](const auto& entry) { return entry.second.expired(); });
    std::weak_ptr<ModuleCallLock>& slot = table[moduleHandle];
    std::shared_ptr<ModuleCallLock> lock = slot.lock();
    if (!lock) {
        lock = std::make_shared<ModuleCallLock>();
        slot = lock;
    }
    return lock;
}

std::unique_lock<std::mutex> ModuleCallLock::Hold()
{
    std::unique_lock<std::mutex> held(mutex_, std::try_to_lock);
    if (!held) {
        ++waiting_;
        held.lock();
        --waiting_;
    }
    return held;
}

}  // namespace tarvex
