#pragma once
// The one pool of worker threads every part of the program shares out its
// work on, sized once, one thread per core. A job is handed in for a ticket
// and waited for by it. A wait on a job that no thread has begun runs it on
// the waiting thread at once: a wait never sits behind the queue, and waits
// nested in jobs end even when every thread of the pool is itself waiting,
// since each waits on a job that is running somewhere or runs it. Jobs must
// not wait on each other in a circle. What a job throws is thrown again by
// its wait, on whichever thread the job ran.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tarvex {

class ThreadPool {
    struct Job;

public:
    // A job handed in. A ticket let go of without a wait drops its job if
    // no thread has begun it and waits for it if it runs, so that nothing
    // the job uses goes before it ends (what it throws then goes with it:
    // its owner is failing already).
    class Ticket {
    public:
        Ticket() = default;
        Ticket(Ticket&& other) noexcept = default;
        Ticket& operator=(Ticket&& other) noexcept;
        ~Ticket() { Drop(); }

        bool Valid() const { return job_ != nullptr; }
        // Returns once the job has run, here if no thread had begun it;
        // throws what it threw, as often as it is waited for.
        void Wait();

    private:
        friend class ThreadPool;
        Ticket(ThreadPool& pool, std::shared_ptr<Job> job) : pool_(&pool), job_(std::move(job)) {}
        void Drop() noexcept;

        ThreadPool* pool_ = nullptr;
        std::shared_ptr<Job> job_;
    };

    // The process's pool, started when first asked for: one thread per
    // core, at least one.
    static ThreadPool& Shared();

    // Threads that cannot be started are done without: their jobs run where
    // they are waited for.
    explicit ThreadPool(size_t threads);
    // Every ticket must be gone by then.
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    size_t Threads() const { return threads_.size(); }
    // The calling thread's number in this pool, below Threads(); none for a
    // thread not of it.
    std::optional<size_t> ThisThread() const;

    // Throws only when there is no memory for the job's place in the queue.
    [[nodiscard]] Ticket Submit(std::function<void()> job);

private:
    enum class State : uint8_t { Queued, Running, Done, Dropped };
    struct Job {
        std::function<void()> work;  // emptied once begun or dropped
        State state = State::Queued;
        std::exception_ptr thrown;
    };

    void Run(Job& job, std::unique_lock<std::mutex>& lock);
    void AwaitDone(const Job& job, std::unique_lock<std::mutex>& lock);
    void Serve(size_t number);

    std::mutex mutex_;
    std::condition_variable queued_;  // threads of the pool wait for jobs
    std::condition_variable done_;    // waiters wait for jobs running elsewhere
    // Jobs in the order handed in; those a waiter ran or a ticket dropped
    // are passed over when their turn comes.
    std::deque<std::shared_ptr<Job>> queue_;
    size_t awaiting_ = 0;  // waiters sleeping on done_
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace tarvex
