#include "threads/ThreadPool.h"

#include <algorithm>

namespace tarvex {
namespace {

// Which pool, if any, the running thread serves, and its number there.
thread_local const ThreadPool* servedPool = nullptr;
thread_local size_t servedAs = 0;

}  // namespace

ThreadPool& ThreadPool::Shared()
{
    static ThreadPool pool(std::max(1u, std::thread::hardware_concurrency()));
    return pool;
}

ThreadPool::ThreadPool(size_t threads)
{
    try {
        threads_.reserve(threads);
        for (size_t n = 0; n < threads; ++n) threads_.emplace_back([this, n] { Serve(n); });
    } catch (const std::exception&) {
    }
}

ThreadPool::~ThreadPool()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    queued_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

std::optional<size_t> ThreadPool::ThisThread() const
{
    if (servedPool != this) return std::nullopt;
    return servedAs;
}

ThreadPool::Ticket ThreadPool::Submit(std::function<void()> work)
{
    auto job = std::make_shared<Job>();
    job->work = std::move(work);
    // Without threads a job waits in its ticket only, to be run by its wait.
    if (!threads_.empty()) {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(job);
        }
        queued_.notify_one();
    }
    return Ticket(*this, std::move(job));
}

// Runs a queued job with the lock released meanwhile.
void ThreadPool::Run(Job& job, std::unique_lock<std::mutex>& lock)
{
    job.state = State::Running;
    std::function<void()> work = std::move(job.work);
    job.work = nullptr;
    lock.unlock();
    std::exception_ptr thrown;
    try {
        work();
    } catch (...) {
        thrown = std::current_exception();
    }
    work = nullptr;  // what it holds goes before it counts as done
    lock.lock();
    job.thrown = std::move(thrown);
    job.state = State::Done;
    if (awaiting_ > 0) done_.notify_all();
}

void ThreadPool::AwaitDone(const Job& job, std::unique_lock<std::mutex>& lock)
{
    ++awaiting_;
    done_.wait(lock, [&] { return job.state == State::Done; });
    --awaiting_;
}

void ThreadPool::Serve(size_t number)
{
    servedPool = this;
    servedAs = number;
    std::unique_lock lock(mutex_);
    for (;;) {
        queued_.wait(lock, [&] { return stop_ || !queue_.empty(); });
        if (stop_) return;
        const std::shared_ptr<Job> job = std::move(queue_.front());
        queue_.pop_front();
        if (job->state == State::Queued) Run(*job, lock);
    }
}

ThreadPool::Ticket& ThreadPool::Ticket::operator=(Ticket&& other) noexcept
{
    if (this != &other) {
        Drop();
        pool_ = other.pool_;
        job_ = std::move(other.job_);
    }
    return *this;
}

void ThreadPool::Ticket::Wait()
{
    std::unique_lock lock(pool_->mutex_);
    Job& job = *job_;
    if (job.state == State::Queued)
        pool_->Run(job, lock);
    else
        pool_->AwaitDone(job, lock);
    const std::exception_ptr thrown = job.thrown;
    lock.unlock();
    if (thrown) std::rethrow_exception(thrown);
}

void ThreadPool::Ticket::Drop() noexcept
{
    if (!job_) return;
    // What the job holds or threw goes here, outside the lock: the queue
    // may hold the job a while longer.
    std::function<void()> dropped;
    std::exception_ptr thrown;
    {
        std::unique_lock lock(pool_->mutex_);
        if (job_->state == State::Queued) {
            job_->state = State::Dropped;
            dropped = std::move(job_->work);
        } else {
            pool_->AwaitDone(*job_, lock);
            thrown = std::move(job_->thrown);
        }
    }
    job_.reset();
}

}  // namespace tarvex
