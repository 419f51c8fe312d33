#pragma once
// Runs a numbered sequence of jobs on the thread pool and hands their results
// back strictly in order. Each job has a weight (the bytes it holds); jobs
// are claimed in order, each only when it fits beside those claimed but not
// yet taken, which never weigh more than the budget together and so bound the
// memory in flight (a job heavier than the whole budget is claimed alone, so
// that work goes on). Light jobs are claimed in batches, one job of the pool
// each, so that many small files cost few hand-offs; at most `workers`
// batches are handed in at once. Take waits for the batch that holds the job
// it wants, and runs it itself when no thread of the pool has begun it. Jobs
// that must run on the caller's thread (plug-in modules that are not
// thread-safe: one thread, one call at a time) are run by Take itself, in
// their turn. What a job throws is thrown again by the Take of that job, on
// the caller's thread.
//
// A light result made on a thread of the pool goes back to that thread once
// the caller is done with it, and is destroyed there as it begins its next
// batch: its memory then goes back to that thread's heap without the caller
// contending for the heap's lock, which for many small files costs more than
// the files' own reading. What is still handed back when the pipeline ends
// goes with it, on the caller's thread.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <vector>

#include "threads/ThreadPool.h"

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

    // Each batch running works in a context of its own, all made here;
    // workers without one (no memory for it) are done without. Fewer than
    // two workers: every job runs in Take, in its turn.
    OrderedPipeline(Jobs jobs, size_t workers, uint64_t budget, std::function<std::unique_ptr<Context>()> makeContext)
        : jobs_(std::move(jobs)), budget_(budget), results_(jobs_.count), spent_(pool_.Threads())
    {
        if (workers < 2) return;
        try {
            idle_.reserve(workers);
            for (size_t w = 0; w < workers; ++w) idle_.push_back(makeContext());
        } catch (const std::exception&) {
        }
        workers_ = idle_.size();
        std::lock_guard lock(mutex_);
        SkipCallerJobs();
        HandInBatches();
    }

    // Batches not begun are dropped; those running are waited for.
    ~OrderedPipeline()
    {
        std::deque<Batch> batches;
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
            batches.swap(batches_);
        }
    }

    OrderedPipeline(const OrderedPipeline&) = delete;
    OrderedPipeline& operator=(const OrderedPipeline&) = delete;

    // The result of job `index`, valid until the next Take; indices are
    // taken in increasing order.
    Result& Take(size_t index, Context& callerContext)
    {
        onCaller_.reset();
        // The result taken last: one made on a thread of the pool, if light,
        // goes back to its maker; any other is destroyed here, outside the
        // lock.
        if (taken_ && !HandedBack(*taken_)) taken_.reset();
        if (workers_ == 0 || jobs_.onCaller(index)) return MakeHere(index, callerContext);
        std::unique_lock lock(mutex_);
        if (taken_) HandBack();
        HandInBatches();
        if (index >= claim_) {
            // No batch could be handed in for it: it is made here.
            claim_ = index + 1;
            SkipCallerJobs();
            lock.unlock();
            return MakeHere(index, callerContext);
        }
        while (batches_.front().end <= index) {
            // Its jobs are all taken; it goes outside the lock.
            ThreadPool::Ticket passed = std::move(batches_.front().run);
            batches_.pop_front();
            lock.unlock();
            passed = {};
            lock.lock();
        }
        ThreadPool::Ticket& batch = batches_.front().run;
        lock.unlock();
        if (batch.Valid()) batch.Wait();
        lock.lock();
        inFlight_ -= jobs_.weight(index);
        taken_ = std::move(results_[index]);
        HandInBatches();
        lock.unlock();
        if (!taken_) return MakeHere(index, callerContext);  // its batch had no memory to make it in
        if (taken_->thrown) std::rethrow_exception(taken_->thrown);
        return *taken_->result;
    }

private:
    static constexpr uint64_t kBatchWeight = 1 << 20;
    // Results up to this weight go back to their maker to be destroyed.
    static constexpr uint64_t kHandedBack = 64 << 10;

    struct Made {
        Made(size_t i, std::optional<size_t> m) : index(i), maker(m) {}
        std::optional<Result> result;  // none when the job threw
        std::exception_ptr thrown;
        size_t index;
        std::optional<size_t> maker;  // the thread of the pool it was made on
    };
    // Consecutive jobs handed to the pool as one; the caller's own jobs in
    // between are passed over. Without a ticket (no memory to hand it in),
    // its jobs are made by Take.
    struct Batch {
        size_t first;
        size_t end;
        ThreadPool::Ticket run;
    };

    bool HandedBack(const Made& made) const { return made.maker && jobs_.weight(made.index) <= kHandedBack; }

    // The next job to claim is never one of the caller's own.
    void SkipCallerJobs()
    {
        while (claim_ < jobs_.count && jobs_.onCaller(claim_)) ++claim_;
    }
    // Room for the next job: with nothing in flight any job fits, however
    // heavy, so that work goes on; else it must fit in the budget.
    bool HasRoom() const
    {
        return claim_ < jobs_.count && (inFlight_ == 0 || inFlight_ + jobs_.weight(claim_) <= budget_);
    }
    // Room for the next job, and for a batch's weight besides when the
    // budget holds several batches: a batch of a file or two is not worth
    // handing in while others run.
    bool HasRoomForBatch() const
    {
        if (!HasRoom()) return false;
        const uint64_t wanted = std::max(jobs_.weight(claim_), std::min(kBatchWeight, budget_ / 4));
        return inFlight_ == 0 || inFlight_ + wanted <= budget_;
    }

    // Claims consecutive jobs up to the batch weight, each only while it
    // has room, and hands them to the pool as one job; again while fewer
    // than `workers` batches are handed in and there is room.
    void HandInBatches() noexcept
    {
        while (!stop_ && running_ < workers_ && HasRoomForBatch()) {
            const size_t first = claim_;
            uint64_t batchWeight = 0;
            while (batchWeight < kBatchWeight && HasRoom()) {
                const uint64_t w = jobs_.weight(claim_);
                inFlight_ += w;
                batchWeight += w;
                ++claim_;
                SkipCallerJobs();
            }
            try {
                batches_.push_back({first, claim_, {}});
            } catch (const std::bad_alloc&) {
                claim_ = first;  // not claimed after all
                inFlight_ -= batchWeight;
                return;
            }
            try {
                batches_.back().run = pool_.Submit([this, first, end = claim_] { RunBatch(first, end); });
                ++running_;
            } catch (const std::exception&) {
                return;
            }
        }
    }

    // A job's result, or what it threw; none when there is no memory even
    // for that.
    std::unique_ptr<Made> Make(size_t index, std::optional<size_t> maker, Context& context) noexcept
    {
        std::unique_ptr<Made> made;
        try {
            made = std::make_unique<Made>(index, maker);
            made->result.emplace(jobs_.work(index, context));
        } catch (...) {
            if (made) made->thrown = std::current_exception();
        }
        return made;
    }

    Result& MakeHere(size_t index, Context& context)
    {
        onCaller_.emplace(jobs_.work(index, context));
        return *onCaller_;
    }

    // Hands the result taken last back to its maker; when there is no
    // memory for that, it stays to be destroyed here.
    void HandBack() noexcept
    {
        try {
            spent_[*taken_->maker].push_back(std::move(taken_));
        } catch (const std::bad_alloc&) {
        }
    }

    // The caller looks at a job's result only once the batch's ticket says
    // it has run.
    void RunBatch(size_t first, size_t end) noexcept
    {
        const std::optional<size_t> thread = pool_.ThisThread();
        std::vector<std::unique_ptr<Made>> spent;
        std::unique_ptr<Context> context;
        {
            std::lock_guard lock(mutex_);
            if (thread) spent.swap(spent_[*thread]);
            context = std::move(idle_.back());
            idle_.pop_back();
        }
        spent.clear();
        for (size_t index = first; index < end; ++index)
            if (!jobs_.onCaller(index)) results_[index] = Make(index, thread, *context);
        std::lock_guard lock(mutex_);
        idle_.push_back(std::move(context));  // into room reserved for it
        --running_;
        HandInBatches();
    }

    ThreadPool& pool_ = ThreadPool::Shared();
    const Jobs jobs_;
    const uint64_t budget_;
    // Each job's result once it is made: a pointer per job, as a pack may
    // have a great many files and only a few are in flight.
    std::vector<std::unique_ptr<Made>> results_;
    std::unique_ptr<Made> taken_;                            // the caller holds it
    std::optional<Result> onCaller_;                         // made by Take itself
    std::vector<std::vector<std::unique_ptr<Made>>> spent_;  // by thread of the pool: taken, to be destroyed there
    std::vector<std::unique_ptr<Context>> idle_;             // the contexts no batch works in
    size_t workers_ = 0;
    std::mutex mutex_;
    std::deque<Batch> batches_;  // handed in and not yet all taken, in order
    size_t running_ = 0;         // batches handed in that have not ended
    size_t claim_ = 0;           // next job not yet claimed, never one of the caller's
    uint64_t inFlight_ = 0;      // weight of jobs claimed but not yet taken
    bool stop_ = false;
};

}  // namespace tarvex
