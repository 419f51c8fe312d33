#pragma once
// Runs the steps of a loop on the caller's thread and on helper threads that
// live as long as the object, for many short loops (the entries of one folder
// after another) without a thread started for each.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tarvex {

class ParallelFor {
public:
    // Helpers that cannot be started are done without.
    explicit ParallelFor(size_t helpers)
    {
        try {
            for (size_t h = 0; h < helpers; ++h) threads_.emplace_back([this, h] { Help(h + 1); });
        } catch (const std::exception&) {
        }
    }
    ~ParallelFor()
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        started_.notify_all();
        for (std::thread& t : threads_) t.join();
    }
    ParallelFor(const ParallelFor&) = delete;
    ParallelFor& operator=(const ParallelFor&) = delete;

    // The threads that take part in a loop: the caller and the helpers.
    size_t Participants() const { return threads_.size() + 1; }

    // Calls step(i, participant) once for every i below count, in any order
    // and on any of the threads (participant 0 is the caller's, the others
    // below Participants()); returns when all calls have returned. Once a
    // call has thrown, the threads begin no further calls, and Run throws
    // what it threw (the first, if several did) when all calls have returned.
    void Run(size_t count, const std::function<void(size_t, size_t)>& step)
    {
        if (threads_.empty() || count < kWorthSharing) {
            for (size_t i = 0; i < count; ++i) step(i, 0);
            return;
        }
        {
            std::lock_guard lock(mutex_);
            step_ = &step;
            count_ = count;
            next_ = 0;
            failed_ = false;
            busy_ = threads_.size();
            thrown_ = nullptr;
            ++round_;
        }
        started_.notify_all();
        Share(0);
        std::unique_lock lock(mutex_);
        finished_.wait(lock, [&] { return busy_ == 0; });
        step_ = nullptr;
        if (thrown_) std::rethrow_exception(std::exchange(thrown_, nullptr));
    }

private:
    // Fewer steps than this are not worth waking the helpers for.
    static constexpr size_t kWorthSharing = 32;
    static constexpr size_t kChunk = 16;

    void Share(size_t participant)
    {
        try {
            for (;;) {
                const size_t first = next_.fetch_add(kChunk);
                if (first >= count_) return;
                for (size_t i = first; i < std::min(count_, first + kChunk); ++i) {
                    if (failed_) return;
                    (*step_)(i, participant);
                }
            }
        } catch (...) {
            failed_ = true;
            std::lock_guard lock(mutex_);
            if (!thrown_) thrown_ = std::current_exception();
        }
    }

    void Help(size_t participant)
    {
        size_t seen = 0;
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                started_.wait(lock, [&] { return stop_ || round_ != seen; });
                if (stop_) return;
                seen = round_;
            }
            Share(participant);
            std::lock_guard lock(mutex_);
            if (--busy_ == 0) finished_.notify_one();
        }
    }

    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable started_;
    std::condition_variable finished_;
    const std::function<void(size_t, size_t)>* step_ = nullptr;
    size_t count_ = 0;
    std::atomic<size_t> next_{0};
    std::atomic<bool> failed_{false};  // a call of this loop threw: no more begin
    std::exception_ptr thrown_;        // the first exception of this loop
    size_t busy_ = 0;
    size_t round_ = 0;
    bool stop_ = false;
};

}  // namespace tarvex
