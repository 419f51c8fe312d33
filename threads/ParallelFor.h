#pragma once
// Runs the steps of a loop on the caller's thread and on threads of the pool,
// each taking the next steps not yet taken, for many short loops (the
// entries of one folder after another).
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <functional>

#include "threads/RunOnThreads.h"

namespace tarvex {

class ParallelFor {
public:
    explicit ParallelFor(size_t helpers) : participants_(helpers + 1) {}

    // The threads that take part in a loop at most: the caller and the
    // helpers.
    size_t Participants() const { return participants_; }

    // Calls step(i, participant) once for every i below count, in any order
    // and on any of the threads (participant 0 is the caller's thread, the
    // others below Participants(), each one call at a time); returns
    // when all calls have returned. Once a call has thrown, the threads
    // begin no further calls, and Run throws what it threw (the first, if
    // several did) when all calls have returned.
    void Run(size_t count, const std::function<void(size_t, size_t)>& step) const
    {
        if (participants_ == 1 || count < kWorthSharing) {
            for (size_t i = 0; i < count; ++i) step(i, 0);
            return;
        }
        std::atomic<size_t> next{0};
        std::atomic<bool> failed{false};
        RunOnThreads(participants_, [&](size_t participant) {
            try {
                for (size_t first; !failed && (first = next.fetch_add(kChunk)) < count;)
                    for (size_t i = first; i < std::min(count, first + kChunk) && !failed; ++i) step(i, participant);
            } catch (...) {
                failed = true;
                throw;
            }
        });
    }

private:
    // Fewer steps than this are not worth waking the helpers for.
    static constexpr size_t kWorthSharing = 32;
    static constexpr size_t kChunk = 16;

    size_t participants_;
};

}  // namespace tarvex
