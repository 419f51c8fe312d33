#pragma once
// Runs one piece of work on the calling thread and on threads of the pool at
// once, for a loop whose threads share out its steps themselves.
#include <cstddef>
#include <exception>
#include <mutex>
#include <vector>

#include "threads/ThreadPool.h"

namespace tarvex {

// Calls work(call) for call below `threads`: call 0 on the caller's thread,
// the others in jobs of the process's pool (those no thread of the pool has
// begun by the time the caller's own call returns run here after it; those
// for which there is no memory are done without). Returns once every call
// has returned; what a call threw is thrown here then (the first, if
// several threw).
template <typename Work>
void RunOnThreads(size_t threads, const Work& work)
{
    std::mutex mutex;
    std::exception_ptr thrown;
    const auto guarded = [&](size_t call) {
        try {
            work(call);
        } catch (...) {
            std::lock_guard lock(mutex);
            if (!thrown) thrown = std::current_exception();
        }
    };
    {
        std::vector<ThreadPool::Ticket> helpers;
        try {
            ThreadPool& pool = ThreadPool::Shared();
            for (size_t call = 1; call < threads; ++call)
                helpers.push_back(pool.Submit([&guarded, call] { guarded(call); }));
        } catch (const std::exception&) {
        }
        guarded(0);
        for (ThreadPool::Ticket& helper : helpers) helper.Wait();
    }
    if (thrown) std::rethrow_exception(thrown);
}

}  // namespace tarvex
