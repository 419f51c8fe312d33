#pragma once
// Runs jobs on helper threads ahead of the thread that wants their outcome.
// A job is handed in for a ticket and waited for by it, in any order. A job
// that no helper has begun when it is waited for runs on the waiting thread
// at once, so a wait never sits behind a queue, and with no helpers every
// job runs where it is waited for. A job may hand in jobs and wait for them,
// but only for jobs handed in after it began: waits then never go round in a
// circle, and each is on a job that is running or can run. What a job throws
// is thrown again by its wait, on whichever thread it ran.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tarvex {

class WorkAhead {
public:
    using Ticket = size_t;

    // Helpers that cannot be started are done without: their jobs run where
    // they are waited for.
    explicit WorkAhead(size_t helpers)
    {
        try {
            for (size_t h = 0; h < helpers; ++h) threads_.emplace_back([this] { Help(); });
        } catch (const std::exception&) {
        }
    }
    // Jobs not begun are dropped; those running finish first.
    ~WorkAhead()
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        queued_.notify_all();
        for (std::thread& t : threads_) t.join();
    }
    WorkAhead(const WorkAhead&) = delete;
    WorkAhead& operator=(const WorkAhead&) = delete;

    Ticket Submit(std::function<void()> job)
    {
        Ticket ticket;
        {
            std::lock_guard lock(mutex_);
            ticket = slots_.size();
            slots_.push_back({std::move(job), State::Queued, nullptr});
        }
        if (!threads_.empty()) queued_.notify_one();
        return ticket;
    }

    // Returns once the job has run, throwing what it threw.
    void Wait(Ticket ticket)
    {
        std::unique_lock lock(mutex_);
        Slot& slot = slots_[ticket];
        if (slot.state == State::Queued)
            RunLocked(slot, lock);
        else
            done_.wait(lock, [&] { return slot.state == State::Done; });
        if (slot.thrown) std::rethrow_exception(slot.thrown);
    }

private:
    enum class State : uint8_t { Queued, Running, Done };
    struct Slot {
        std::function<void()> job;  // emptied once begun
        State state;
        std::exception_ptr thrown;  // what the job threw
    };

    // Runs a queued job with the lock released meanwhile.
    void RunLocked(Slot& slot, std::unique_lock<std::mutex>& lock)
    {
        slot.state = State::Running;
        std::function<void()> job = std::move(slot.job);
        slot.job = nullptr;
        lock.unlock();
        std::exception_ptr thrown;
        try {
            job();
        } catch (...) {
            thrown = std::current_exception();
        }
        job = nullptr;  // what it holds goes before it counts as done
        lock.lock();
        slot.thrown = std::move(thrown);
        slot.state = State::Done;
        done_.notify_all();
    }

    void Help()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            // Jobs run by their waiters are passed over.
            while (next_ < slots_.size() && slots_[next_].state != State::Queued) ++next_;
            if (stop_) return;
            if (next_ == slots_.size()) {
                queued_.wait(lock);
                continue;
            }
            RunLocked(slots_[next_], lock);
        }
    }

    std::mutex mutex_;
    std::condition_variable queued_;  // helpers wait for jobs
    std::condition_variable done_;    // waiters wait for running jobs
    std::deque<Slot> slots_;          // by ticket; a deque's elements stay where they are as it grows
    size_t next_ = 0;                 // no job before it is queued
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace tarvex
