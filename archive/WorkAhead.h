#pragma once
// Runs jobs on helper threads ahead of the thread that wants their outcome.
// A job is handed in for a ticket and waited for by it, in any order. A job
// that no helper has begun when it is waited for runs on the waiting thread
// at once, so a wait never sits behind a queue, and with no helpers every
// job runs where it is waited for. A job may hand in jobs and wait for them,
// but only for jobs handed in after it began: waits then never go round in a
// circle, and each is on a job that is running or can run.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tarvex {

class WorkAhead {
public:
    using Ticket = size_t;

    explicit WorkAhead(size_t helpers)
    {
        for (size_t h = 0; h < helpers; ++h) threads_.emplace_back([this] { Help(); });
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
            ticket = jobs_.size();
            jobs_.push_back(std::move(job));
            states_.push_back(State::Queued);
        }
        if (!threads_.empty()) queued_.notify_one();
        return ticket;
    }

    // Returns once the job has run.
    void Wait(Ticket ticket)
    {
        std::unique_lock lock(mutex_);
        if (states_[ticket] == State::Queued) {
            RunLocked(ticket, lock);
            return;
        }
        done_.wait(lock, [&] { return states_[ticket] == State::Done; });
    }

private:
    enum class State : uint8_t { Queued, Running, Done };

    // Runs a queued job with the lock released meanwhile.
    void RunLocked(Ticket ticket, std::unique_lock<std::mutex>& lock)
    {
        states_[ticket] = State::Running;
        std::function<void()> job = std::move(jobs_[ticket]);
        jobs_[ticket] = nullptr;
        lock.unlock();
        job();
        job = nullptr;  // what it holds goes before it counts as done
        lock.lock();
        states_[ticket] = State::Done;
        done_.notify_all();
    }

    void Help()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            // Jobs run by their waiters are passed over.
            while (next_ < states_.size() && states_[next_] != State::Queued) ++next_;
            if (stop_) return;
            if (next_ == states_.size()) {
                queued_.wait(lock);
                continue;
            }
            RunLocked(next_, lock);
        }
    }

    std::mutex mutex_;
    std::condition_variable queued_;          // helpers wait for jobs
    std::condition_variable done_;            // waiters wait for running jobs
    std::deque<std::function<void()>> jobs_;  // by ticket; emptied once begun
    std::deque<State> states_;                // by ticket
    size_t next_ = 0;                         // no job before it is queued
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace tarvex
