#pragma once
// Runs a numbered sequence of jobs on worker threads and hands their results
// back strictly in order. Each job has a weight (the bytes it holds); jobs
// started but not yet taken never weigh more than the budget together, which
// bounds the memory in flight. Light jobs are claimed in batches so that many
// small files cost few thread hand-offs. Jobs that must run on the caller's
// thread (plug-in modules that are not thread-safe: one thread, one call at a
// time) are run by Take itself, in their turn.
//
// A light result goes back to the worker that made it once the caller is
// done with it, and is destroyed there: its memory then goes back to that
// thread's heap without the caller contending for the heap's lock, which for
// many small files costs more than the files' own reading.
#include <algorithm>
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
        spent_.resize(workers);
        for (size_t w = 0; w < workers; ++w)
            threads_.emplace_back([this, w, context = makeContext()]() mutable { RunWorker(w, *context); });
    }

    ~OrderedPipeline()
    {
        {
            std::lock_guard lock(mutex_);
            if (taken_ && Light(*taken_)) spent_[taken_->maker].push_back(std::move(taken_));
            stop_ = true;
        }
        roomMade_.notify_all();
        for (std::thread& t : threads_) t.join();
    }

    OrderedPipeline(const OrderedPipeline&) = delete;
    OrderedPipeline& operator=(const OrderedPipeline&) = delete;

    // The result of job `index`, valid until the next Take; indices are
    // taken in increasing order.
    Result& Take(size_t index, Context& callerContext)
    {
        onCaller_.reset();
        // The result taken last: a heavy one is destroyed here, outside the
        // lock; a light one goes back to its maker, to be destroyed at the
        // start of its next batch (so at most what it had in flight waits).
        if (taken_ && !Light(*taken_)) taken_.reset();
        if (threads_.empty() || jobs_.onCaller(index)) {
            onCaller_.emplace(jobs_.work(index, callerContext));
            return *onCaller_;
        }
        std::unique_lock lock(mutex_);
        if (taken_) spent_[taken_->maker].push_back(std::move(taken_));
        waitingFor_ = index;
        resultReady_.wait(lock, [&] { return results_[index] != nullptr; });
        waitingFor_ = SIZE_MAX;
        taken_ = std::move(results_[index]);
        // A worker is woken only when this makes room for a batch it did not
        // have: once every job is claimed, or while room is left, none waits
        // for it, and one woken for a file or two would soon sleep again.
        const bool hadRoom = HasRoomForBatch();
        inFlight_ -= jobs_.weight(index);
        const bool wake = !hadRoom && HasRoomForBatch();
        lock.unlock();
        if (wake) roomMade_.notify_one();
        return taken_->result;
    }

private:
    static constexpr uint64_t kBatchWeight = 1 << 20;
    // Results up to this weight go back to their maker to be destroyed.
    static constexpr uint64_t kHandedBack = 64 << 10;

    struct Made {
        Result result;
        size_t index;
        size_t maker;  // the worker's number
    };
    bool Light(const Made& made) const { return jobs_.weight(made.index) <= kHandedBack; }

    bool HasRoom() const
    {
        return claim_ < jobs_.count && (inFlight_ == 0 || inFlight_ + jobs_.weight(claim_) <= budget_);
    }
    // Room for the next job, and for a batch's weight besides when the
    // budget holds several batches.
    bool HasRoomForBatch() const
    {
        if (!HasRoom()) return false;
        const uint64_t wanted = std::max(jobs_.weight(claim_), std::min(kBatchWeight, budget_ / 4));
        return inFlight_ == 0 || inFlight_ + wanted <= budget_;
    }

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

    void RunWorker(size_t worker, Context& context)
    {
        std::unique_lock lock(mutex_);
        std::vector<std::unique_ptr<Made>> done;
        std::vector<std::unique_ptr<Made>> spent;
        for (;;) {
            roomMade_.wait(lock, [&] { return stop_ || HasRoomForBatch(); });
            spent.swap(spent_[worker]);
            if (stop_) {
                lock.unlock();
                return;  // what it made and was handed back goes with spent
            }
            const std::vector<size_t> batch = ClaimBatch();
            if (HasRoomForBatch()) roomMade_.notify_one();  // another worker may start too
            lock.unlock();
            spent.clear();
            done.clear();
            for (size_t index : batch)
                done.push_back(std::make_unique<Made>(Made{jobs_.work(index, context), index, worker}));
            lock.lock();
            bool wanted = false;
            for (std::unique_ptr<Made>& made : done) {
                wanted = wanted || made->index == waitingFor_;
                results_[made->index] = std::move(made);
            }
            if (wanted) resultReady_.notify_one();
        }
    }

    const Jobs jobs_;
    const uint64_t budget_;
    // Each job's result once it is made: a pointer per job, as a pack may
    // have a great many files and only a few are in flight.
    std::vector<std::unique_ptr<Made>> results_;
    std::unique_ptr<Made> taken_;                            // the caller holds it
    std::optional<Result> onCaller_;                         // made by Take itself
    std::vector<std::vector<std::unique_ptr<Made>>> spent_;  // by maker: taken, to be destroyed there
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
