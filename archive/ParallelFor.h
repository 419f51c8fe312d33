#pragma once
// Runs the steps of a loop on the caller's thread and on helper threads that
// live as long as the object, for many short loops (the entries of one folder
// after another) without a thread started for each.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tarvex {

class ParallelFor {
public:
    explicit ParallelFor(size_t helpers)
    {
        for (size_t h = 0; h < helpers; ++h) threads_.emplace_back([this, h] { Help(h + 1); });
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
    // below Participants()); returns when all calls have returned.
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
            busy_ = threads_.size();
            ++round_;
        }
        started_.notify_all();
        Share(0);
        std::unique_lock lock(mutex_);
        finished_.wait(lock, [&] { return busy_ == 0; });
        step_ = nullptr;
    }

private:
    // Fewer steps than this are not worth waking the helpers for.
    static constexpr size_t kWorthSharing = 32;
    static constexpr size_t kChunk = 16;

    void Share(size_t participant)
    {
        for (;;) {
            const size_t first = next_.fetch_add(kChunk);
            if (first >= count_) return;
            for (size_t i = first; i < std::min(count_, first + kChunk); ++i) (*step_)(i, participant);
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
    size_t busy_ = 0;
    size_t round_ = 0;
    bool stop_ = false;
};

}  // namespace tarvex
