#pragma once
// Runs one piece of work on the calling thread and on helper threads started
// for it, for a loop whose threads share out its steps themselves.
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace tarvex {

// Calls work() on the caller's thread and on threads - 1 helpers at once
// (helpers that cannot be started are done without) and returns once every
// call has returned. What a call threw is thrown here then (the first, if
// several threw).
template <typename Work>
void RunOnThreads(unsigned threads, const Work& work)
{
    std::mutex mutex;
    std::exception_ptr thrown;
    const auto guarded = [&] {
        try {
            work();
        } catch (...) {
            std::lock_guard lock(mutex);
            if (!thrown) thrown = std::current_exception();
        }
    };
    {
        std::vector<std::jthread> helpers;
        try {
            for (unsigned k = 1; k < threads; ++k) helpers.emplace_back(guarded);
        } catch (const std::exception&) {
        }
        guarded();
    }
    if (thrown) std::rethrow_exception(thrown);
}

}  // namespace tarvex
