#pragma once
// Calls into a module that did not declare itself thread-safe are made one at
// a time in the whole process: every dispatch, extraction and CRQ_File that
// loaded the same module (the loader hands them all one handle) shares one
// lock for it, whichever thread it runs on.
#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>

namespace tarvex {

class ModuleCallLock {
public:
    // The lock of the loaded module with this handle: made on its first
    // load, shared by every later one, gone when no one holds it any more.
    static std::shared_ptr<ModuleCallLock> For(const void* moduleHandle);

    // Waits until no other call into the module runs; a call may run while
    // the result lives.
    [[nodiscard]] std::unique_lock<std::mutex> Hold();
    // How many threads wait in Hold now (tests make calls meet by it).
    size_t Waiting() const { return waiting_.load(); }

private:
    std::mutex mutex_;
    std::atomic<size_t> waiting_{0};
};

}  // namespace tarvex
