#pragma once
// Runs a numbered sequence of jobs on worker threads and hands their results
// back strictly in order. Each job has a weight (the bytes it holds); jobs
// started but not yet taken never weigh more than the budget together, which
// bounds the memory in flight (a job heavier than the whole budget runs
// alone, so that work goes on). Light jobs are claimed in batches so that many
// small files cost few thread hand-offs. Jobs that must run on the caller's
// thread (plug-in modules that are not thread-safe: one thread, one call at a
// time) are run by Take itself, in their turn. What a job throws is thrown
// again by the Take of that job, on the caller's thread.
//
// A light result goes back to the worker that made it once the caller is
// done with it, and is destroyed there: its memory then goes back to that
// thread's heap without the caller contending for the heap's lock, which for
// many small files costs more than the files' own reading.
#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
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

    // Workers that cannot be started (no thread, or no memory for their
    // context) are done without.
    OrderedPipeline(Jobs jobs, size_t workers, uint64_t budget, std::function<std::unique_ptr<Context>()> makeContext)
        : jobs_(std::move(jobs)), budget_(budget), results_(jobs_.count), turns_(jobs_.count, Turn::Pending)
    {
        if (workers < 2) return;  // one core: everything runs in Take, without threads
        spent_.resize(workers);
        SkipCallerJobs();
        try {
            for (size_t w = 0; w < workers; ++w)
                threads_.emplace_back([this, w, context = makeContext()]() mutable { RunWorker(w, *context); });
        } catch (const std::exception&) {
        }
    }

    ~OrderedPipeline()
    {
        {
            std::lock_guard lock(mutex_);
            if (taken_ && Light(*taken_)) HandBack();
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
        if (threads_.empty() || jobs_.onCaller(index)) return MakeHere(index, callerContext);
        std::unique_lock lock(mutex_);
        if (taken_) HandBack();
        waitingFor_ = index;
        resultReady_.wait(lock, [&] { return turns_[index] != Turn::Pending; });
        waitingFor_ = SIZE_MAX;
        // A worker is woken only when this makes room for a batch it did not
        // have: once every job is claimed, or while room is left, none waits
        // for it, and one woken for a file or two would soon sleep again.
        const bool hadRoom = HasRoomForBatch();
        inFlight_ -= jobs_.weight(index);
        const bool wake = !hadRoom && HasRoomForBatch();
        taken_ = std::move(results_[index]);
        lock.unlock();
        if (wake) roomMade_.notify_one();
        if (!taken_) return MakeHere(index, callerContext);  // its worker had no memory to make it in
        if (taken_->thrown) std::rethrow_exception(taken_->thrown);
        return *taken_->result;
    }

private:
    static constexpr uint64_t kBatchWeight = 1 << 20;
    // Results up to this weight go back to their maker to be destroyed.
    static constexpr uint64_t kHandedBack = 64 << 10;

    struct Made {
        Made(size_t i, size_t w) : index(i), maker(w) {}
        std::optional<Result> result;  // none when the job threw
        std::exception_ptr thrown;
        size_t index;
        size_t maker;  // the worker's number
    };
    // Where a job claimed by a worker stands.
    enum class Turn : uint8_t {
        Pending,
        Made,    // its result (or what it threw) waits in results_
        Unmade,  // its worker had no memory for it: the caller runs it
    };
    struct Batch {
        size_t first;
        size_t end;  // the caller's own jobs in between are passed over
    };

    bool Light(const Made& made) const { return jobs_.weight(made.index) <= kHandedBack; }

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
    // budget holds several batches.
    bool HasRoomForBatch() const
    {
        if (!HasRoom()) return false;
        const uint64_t wanted = std::max(jobs_.weight(claim_), std::min(kBatchWeight, budget_ / 4));
        return inFlight_ == 0 || inFlight_ + wanted <= budget_;
    }

    // Claims consecutive jobs up to the batch weight, each only while it
    // has room.
    Batch ClaimBatch()
    {
        const size_t first = claim_;
        uint64_t batchWeight = 0;
        while (batchWeight < kBatchWeight && HasRoom()) {
            const uint64_t w = jobs_.weight(claim_);
            inFlight_ += w;
            batchWeight += w;
            ++claim_;
            SkipCallerJobs();
        }
        return {first, claim_};
    }

    // A job's result, or what it threw; none when there is no memory even
    // for that.
    std::unique_ptr<Made> Make(size_t index, size_t worker, Context& context) noexcept
    {
        std::unique_ptr<Made> made;
        try {
            made = std::make_unique<Made>(index, worker);
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
            spent_[taken_->maker].push_back(std::move(taken_));
        } catch (const std::bad_alloc&) {
        }
    }

    void RunWorker(size_t worker, Context& context)
    {
        std::vector<std::unique_ptr<Made>> spent;
        std::unique_lock lock(mutex_);
        for (;;) {
            roomMade_.wait(lock, [&] { return stop_ || HasRoomForBatch(); });
            spent.swap(spent_[worker]);
            if (stop_) {
                lock.unlock();
                return;  // what it made and was handed back goes with spent
            }
            const Batch batch = ClaimBatch();
            if (HasRoomForBatch()) roomMade_.notify_one();  // another worker may start too
            lock.unlock();
            spent.clear();
            // The caller looks at a claimed job's result only once its turn
            // says it is made, which is set under the lock.
            for (size_t index = batch.first; index < batch.end; ++index)
                if (!jobs_.onCaller(index)) results_[index] = Make(index, worker, context);
            lock.lock();
            bool wanted = false;
            for (size_t index = batch.first; index < batch.end; ++index) {
                if (jobs_.onCaller(index)) continue;
                turns_[index] = results_[index] ? Turn::Made : Turn::Unmade;
                wanted = wanted || index == waitingFor_;
            }
            if (wanted) resultReady_.notify_one();
        }
    }

    const Jobs jobs_;
    const uint64_t budget_;
    // Each job's result once it is made: a pointer per job, as a pack may
    // have a great many files and only a few are in flight.
    std::vector<std::unique_ptr<Made>> results_;
    std::vector<Turn> turns_;                                // by job
    std::unique_ptr<Made> taken_;                            // the caller holds it
    std::optional<Result> onCaller_;                         // made by Take itself
    std::vector<std::vector<std::unique_ptr<Made>>> spent_;  // by maker: taken, to be destroyed there
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable resultReady_;  // the caller waits for its next result
    std::condition_variable roomMade_;     // workers wait for room to start jobs
    size_t claim_ = 0;                     // next job not yet claimed, never one of the caller's
    uint64_t inFlight_ = 0;                // weight of jobs claimed but not yet taken
    size_t waitingFor_ = SIZE_MAX;         // the job the caller sleeps on
    bool stop_ = false;
};

}  // namespace tarvex
