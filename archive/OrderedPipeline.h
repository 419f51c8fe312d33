#pragma once
// Runs a numbered sequence of jobs on worker threads and hands their results
// back strictly in order. Each job has a weight (the bytes it holds); jobs
// started but not yet taken never weigh more than the budget together, which
// bounds the memory in flight. Light jobs are claimed in batches so that many
// small files cost few thread hand-offs. Jobs that must run on the caller's
// thread (plug-in modules that are not thread-safe: one thread, one call at a
// time) are run by Take itself, in their turn.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tarvex {

template <typename Result, typename Context>
class OrderedPipeline {
public:
    struct Jobs {
        size_t count = 0;
        std::function<bool(size_t)> onCaller;
        std::function<uint64_t(size_t)> weight;
        std::function<Result(size_t index, Context& context)> work;
    };

    OrderedPipeline(Jobs jobs, size_t workers, uint64_t budget, std::function<std::unique_ptr<Context>()> makeContext)
        : jobs_(std::move(jobs)), budget_(budget), results_(jobs_.count)
    {
        if (workers < 2) return;  // one core: everything runs in Take, without threads
        for (size_t w = 0; w < workers; ++w)
            threads_.emplace_back([this, context = makeContext()]() mutable { RunWorker(*context); });
    }

    ~OrderedPipeline()
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        roomMade_.notify_all();
        for (std::thread& t : threads_) t.join();
    }

    OrderedPipeline(const OrderedPipeline&) = delete;
    OrderedPipeline& operator=(const OrderedPipeline&) = delete;

    // The result of job `index`; indices must be taken 0, 1, 2, ...
    Result Take(size_t index, Context& callerContext)
    {
        if (threads_.empty() || jobs_.onCaller(index)) return jobs_.work(index, callerContext);
        std::unique_lock lock(mutex_);
        waitingFor_ = index;
        resultReady_.wait(lock, [&] { return results_[index].has_value(); });
        waitingFor_ = SIZE_MAX;
        Result result = std::move(*results_[index]);
        results_[index].reset();
        // A worker is woken only when this makes room it did not have: once
        // every job is claimed, or while room is left, none waits for it.
        const bool hadRoom = HasRoom();
        inFlight_ -= jobs_.weight(index);
        const bool wake = !hadRoom && HasRoom();
        lock.unlock();
        if (wake) roomMade_.notify_one();
        return result;
    }

private:
    static constexpr uint64_t kBatchWeight = 1 << 20;

    bool HasRoom() const { return claim_ < jobs_.count && (inFlight_ == 0 || inFlight_ + jobs_.weight(claim_) <= budget_); }

    // Claims consecutive jobs up to the batch weight; the caller's own jobs
    // are passed over.
    std::vector<size_t> ClaimBatch()
    {
        std::vector<size_t> batch;
        uint64_t batchWeight = 0;
        while (claim_ < jobs_.count && batchWeight < kBatchWeight) {
            if (jobs_.onCaller(claim_)) {
                ++claim_;
                continue;
            }
            if (!batch.empty() && !HasRoom()) break;
            const uint64_t w = jobs_.weight(claim_);
            batch.push_back(claim_++);
            inFlight_ += w;
            batchWeight += w;
        }
        return batch;
    }

    void RunWorker(Context& context)
    {
        std::unique_lock lock(mutex_);
        std::vector<std::pair<size_t, Result>> done;
        for (;;) {
            roomMade_.wait(lock, [&] { return stop_ || HasRoom(); });
            if (stop_) return;
            const std::vector<size_t> batch = ClaimBatch();
            if (HasRoom()) roomMade_.notify_one();  // another worker may start too
            lock.unlock();
            done.clear();
            for (size_t index : batch) done.emplace_back(index, jobs_.work(index, context));
            lock.lock();
            bool wanted = false;
            for (auto& [index, result] : done) {
                results_[index] = std::move(result);
                wanted = wanted || index == waitingFor_;
            }
            if (wanted) resultReady_.notify_one();
        }
    }

    const Jobs jobs_;
    const uint64_t budget_;
    std::vector<std::optional<Result>> results_;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable resultReady_;  // the caller waits for its next result
    std::condition_variable roomMade_;     // workers wait for room to start jobs
    size_t claim_ = 0;                     // next job not yet claimed
    uint64_t inFlight_ = 0;                // weight of jobs claimed but not yet taken
    size_t waitingFor_ = SIZE_MAX;         // the job the caller sleeps on
    bool stop_ = false;
};

}  // namespace tarvex
