// The thread pool and what saving, importing and comparing run on it: jobs
// run once each, where they are waited for when no thread has begun them,
// results come back in order and are destroyed where their memory belongs,
// what a job throws reaches the thread that waits for it, and nothing a job
// still writes into is freed before it.
#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <numeric>
#include <set>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>

#include "catalogue/DirectoryImport.h"
#include "schemes/SchemeId.h"
#include "talk/Messages.h"
#include "tests/support/PackFixture.h"
#include "threads/OrderedPipeline.h"
#include "threads/ParallelFor.h"
#include "threads/RunAhead.h"
#include "threads/RunOnThreads.h"
#include "threads/ThreadPool.h"

namespace tarvex {
namespace {

// A job nested in a job waits for jobs of its own: with every thread of the
// pool inside such a job, the jobs they wait for run on the waiting threads.
TEST(ThreadPool, EveryJobRunsOnceAndNestedWaitsEndWithEveryThreadWaiting)
{
    ThreadPool one(1);
    ThreadPool three(3);
    for (ThreadPool* pool : {&one, &three, &ThreadPool::Shared()}) {
        const size_t threads = pool->Threads();
        SCOPED_TRACE(threads);
        std::latch allIn(static_cast<ptrdiff_t>(threads));
        // Each outer job is the root of a tree of 13: three jobs below it,
        // three below each of those.
        std::vector<std::atomic<int>> ran(threads * 13);
        const auto node = [&](size_t tree, size_t at, auto& self) -> void {
            ++ran[tree * 13 + at];
            if (at >= 4) return;
            std::vector<ThreadPool::Ticket> below;
            for (size_t k = 1; k <= 3; ++k)
                below.push_back(pool->Submit([&, tree, child = at * 3 + k] { self(tree, child, self); }));
            for (auto t = below.rbegin(); t != below.rend(); ++t) t->Wait();
        };
        std::vector<ThreadPool::Ticket> outer;
        for (size_t tree = 0; tree < threads; ++tree)
            outer.push_back(pool->Submit([&, tree] {
                allIn.arrive_and_wait();  // every thread of the pool holds one
                node(tree, 0, node);
            }));
        allIn.wait();
        for (ThreadPool::Ticket& t : outer) t.Wait();
        for (size_t job = 0; job < ran.size(); ++job) EXPECT_EQ(ran[job].load(), 1) << job;
    }

    // A ticket let go of before any thread began its job drops the job.
    std::latch release(1);
    std::latch laterBegun(1);
    bool dropped = false;
    ThreadPool::Ticket holding = one.Submit([&] { release.wait(); });
    {
        const ThreadPool::Ticket dropping = one.Submit([&] { dropped = true; });
    }
    ThreadPool::Ticket later = one.Submit([&] { laterBegun.count_down(); });
    release.count_down();
    laterBegun.wait();  // the pool's thread began it, so it has passed the dropped one
    EXPECT_FALSE(dropped);
}

// A result that notes the thread it is destroyed on.
struct Noted {
    size_t index = 0;
    std::thread::id* destroyedOn = nullptr;
    std::vector<uint8_t> bytes;
    Noted(size_t i, std::thread::id* on) : index(i), destroyedOn(on) {}
    Noted(Noted&& other) noexcept
        : index(other.index), destroyedOn(std::exchange(other.destroyedOn, nullptr)), bytes(std::move(other.bytes))
    {
    }
    ~Noted()
    {
        if (destroyedOn) *destroyedOn = std::this_thread::get_id();
    }
};

struct NoContext {};

// A light result made on a thread of the pool is destroyed there, but for
// those still handed back when the pipeline ends: as a thread began its last
// batch, they were in flight or the caller held them.
TEST(OrderedPipeline, ResultsComeInOrderAndLightOnesAreDestroyedByTheirMaker)
{
    constexpr size_t kJobs = 20000;
    constexpr uint64_t kLight = 4096;
    constexpr uint64_t kBudget = 8 << 20;
    std::vector<std::thread::id> madeOn(kJobs);
    std::vector<std::thread::id> destroyedOn(kJobs);
    const auto heavy = [](size_t i) { return i % 100 == 7; };
    const auto onCaller = [](size_t i) { return i % 500 == 3; };
    const std::thread::id caller = std::this_thread::get_id();
    {
        OrderedPipeline<Noted, NoContext>::Jobs jobs;
        jobs.count = kJobs;
        jobs.onCaller = onCaller;
        jobs.weight = [&](size_t i) { return heavy(i) ? uint64_t{1} << 20 : kLight; };
        jobs.work = [&](size_t i, NoContext&) {
            madeOn[i] = std::this_thread::get_id();
            Noted noted(i, &destroyedOn[i]);
            noted.bytes.resize(kLight);  // as a file read whole
            std::iota(noted.bytes.begin(), noted.bytes.end(), static_cast<uint8_t>(i));
            return noted;
        };
        OrderedPipeline<Noted, NoContext> pipeline(std::move(jobs), 2, kBudget,
                                                   [] { return std::make_unique<NoContext>(); });
        NoContext here;
        for (size_t i = 0; i < kJobs; ++i) ASSERT_EQ(pipeline.Take(i, here).index, i);
    }
    std::set<std::thread::id> makers;
    size_t awayFromMaker = 0;
    for (size_t i = 0; i < kJobs; ++i) {
        SCOPED_TRACE(i);
        ASSERT_NE(destroyedOn[i], std::thread::id());
        if (onCaller(i)) {
            EXPECT_EQ(madeOn[i], caller);
        }
        if (onCaller(i) || heavy(i) || madeOn[i] == caller) {
            EXPECT_EQ(destroyedOn[i], caller);
        } else if (destroyedOn[i] != madeOn[i]) {
            EXPECT_EQ(destroyedOn[i], caller);
            ++awayFromMaker;
        }
        if (madeOn[i] != caller) makers.insert(madeOn[i]);
    }
    EXPECT_LE(awayFromMaker, makers.size() * (kBudget / kLight + 1));
}

// What a call threw, or "" when it threw nothing.
template <typename Call>
std::string ThrownBy(Call&& call)
{
    try {
        call();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

// Counted in `count` while it lives.
struct Counted {
    explicit Counted(std::atomic<int>& c) : count(c) { ++count; }
    ~Counted() { --count; }
    std::atomic<int>& count;
};

TEST(ThreadPool, WhatAJobThrowsReachesItsWaiterOnWhicheverThreadItRan)
{
    ThreadPool pool(1);
    for (const bool onPool : {true, false}) {
        SCOPED_TRACE(onPool ? "run by the pool" : "run by its wait");
        std::latch release(1);
        std::latch begun(1);
        // Holds the pool's thread, so that the next job waits for its wait.
        ThreadPool::Ticket holding = pool.Submit([&] { release.wait(); });
        if (onPool) release.count_down();
        ThreadPool::Ticket ticket = pool.Submit([&] {
            begun.count_down();
            throw std::runtime_error("job");
        });
        if (onPool) begun.wait();
        EXPECT_EQ(ThrownBy([&] { ticket.Wait(); }), "job");
        EXPECT_EQ(ThrownBy([&] { ticket.Wait(); }), "job");
        if (!onPool) release.count_down();
    }
    Ahead<int> ahead = RunAhead([](int n) -> int { throw std::runtime_error(std::to_string(n)); }, 7);
    EXPECT_EQ(ThrownBy([&] { ahead.Get(); }), "7");
    EXPECT_EQ(RunAhead([](int n) { return n + 1; }, 7).Get(), 8);
}

// Thrown on a helper or on the caller, the exception leaves Run only once no
// step runs any more: the steps use what the caller holds.
TEST(ParallelFor, AThrowingStepReachesTheCallerOnceNoStepRuns)
{
    for (const bool onHelper : {true, false}) {
        SCOPED_TRACE(onHelper ? "on a helper" : "on the caller");
        ParallelFor loop(1);
        std::latch helperIn(1);
        std::latch callerThrows(1);
        std::atomic<bool> begun[2] = {false, false};  // by participant
        std::atomic<int> running{0};
        const std::function<void(size_t, size_t)> step = [&](size_t, size_t participant) {
            const Counted counted(running);
            if (begun[participant].exchange(true)) return;  // only first steps meet
            if (participant != 0) {
                helperIn.count_down();
                if (onHelper) throw std::runtime_error("helper");
                callerThrows.wait();
                return;
            }
            helperIn.wait();
            if (onHelper) return;
            callerThrows.count_down();
            throw std::runtime_error("caller");
        };
        EXPECT_EQ(ThrownBy([&] { loop.Run(1000, step); }), onHelper ? "helper" : "caller");
        EXPECT_EQ(running.load(), 0);
    }
}

TEST(RunOnThreads, WhatAHelperThrowsReachesTheCallerOnceAllHaveReturned)
{
    std::atomic<int> running{0};
    std::atomic<int> calls{0};
    const auto work = [&](size_t call) {
        const Counted counted(running);
        ++calls;
        if (call != 0) throw std::runtime_error("helper");
    };
    EXPECT_EQ(ThrownBy([&] { RunOnThreads(3, work); }), "helper");
    EXPECT_EQ(calls.load(), 3);
    EXPECT_EQ(running.load(), 0);
}

TEST(OrderedPipeline, WhatAJobThrowsIsThrownByItsTakeAndTheOtherResultsStillCome)
{
    constexpr size_t kJobs = 300;
    const auto throws = [](size_t i) { return i == 30 || i == 131 || i == 257; };
    OrderedPipeline<Noted, NoContext>::Jobs jobs;
    jobs.count = kJobs;
    jobs.onCaller = [](size_t i) { return i % 50 == 7; };  // 257 among them
    jobs.weight = [](size_t i) { return i % 100 == 31 ? uint64_t{1} << 20 : 4096; };  // 131 heavy
    jobs.work = [&](size_t i, NoContext&) {
        if (throws(i)) throw std::runtime_error(std::to_string(i));
        return Noted(i, nullptr);
    };
    OrderedPipeline<Noted, NoContext> pipeline(std::move(jobs), 2, 8 << 20,
                                               [] { return std::make_unique<NoContext>(); });
    NoContext here;
    for (size_t i = 0; i < kJobs; ++i) {
        SCOPED_TRACE(i);
        if (throws(i))
            EXPECT_EQ(ThrownBy([&] { pipeline.Take(i, here); }), std::to_string(i));
        else
            EXPECT_EQ(pipeline.Take(i, here).index, i);
    }
}

// Jobs started and not yet taken never weigh more than the budget, measured
// inside the jobs: a job counts from its start until the caller asks for it.
// A job heavier than the whole budget still runs, alone.
TEST(OrderedPipeline, JobsInFlightNeverWeighMoreThanTheBudget)
{
    constexpr uint64_t kMiB = 1 << 20;
    constexpr uint64_t kBudget = 4 * kMiB;
    struct Case {
        const char* what;
        std::vector<uint64_t> weights;  // 0: the caller's own job
        // 0: every job is taken. Else none is: the pipeline goes once job 0
        // has begun and the weight of this one has been looked at.
        size_t lookedAt;
    };
    std::vector<uint64_t> mixed;
    for (int i = 0; i < 400; ++i) mixed.push_back(i % 9 == 4 ? 0 : i == 200 ? 5 * kMiB : (i * 7919 % 1500 + 1) * 1024);
    // After a batch of a whole batch's weight, the next job is the caller's,
    // and the one after it fits only once the first is taken. A light job
    // followed by one that fits only once the first is taken: it is not
    // claimed into the same batch.
    for (const Case& c : {Case{"a caller's job between", {kMiB, 0, 7 * kMiB / 2}, 2},
                          Case{"too heavy for the batch it would join", {kMiB / 2, 15 * kMiB / 4}, 1},
                          Case{"mixed, one above the budget", mixed, 0}}) {
        SCOPED_TRACE(c.what);
        std::atomic<int64_t> inFlight{0};
        std::atomic<int64_t> worst{0};  // the most in flight as a job starts beside others
        std::latch firstBegun(1);
        std::latch lookedAt(1);
        std::atomic<bool> looked{false};
        {
            OrderedPipeline<Noted, NoContext>::Jobs jobs;
            jobs.count = c.weights.size();
            jobs.onCaller = [&](size_t i) { return c.weights[i] == 0; };
            jobs.weight = [&](size_t i) {
                if (i == c.lookedAt && !looked.exchange(true)) lookedAt.count_down();
                return std::max<uint64_t>(c.weights[i], 1);
            };
            jobs.work = [&](size_t i, NoContext&) {
                if (c.weights[i] == 0) return Noted(i, nullptr);
                const int64_t own = static_cast<int64_t>(c.weights[i]);
                const int64_t now = inFlight += own;
                if (now > int64_t{kBudget} && now != own) worst = std::max<int64_t>(worst, now);
                if (i == 0) firstBegun.count_down();
                return Noted(i, nullptr);
            };
            OrderedPipeline<Noted, NoContext> pipeline(std::move(jobs), 2, kBudget,
                                                       [] { return std::make_unique<NoContext>(); });
            NoContext here;
            if (c.lookedAt != 0) {
                firstBegun.wait();
                lookedAt.wait();
            }
            for (size_t i = 0; c.lookedAt == 0 && i < c.weights.size(); ++i) {
                inFlight -= static_cast<int64_t>(c.weights[i]);
                ASSERT_EQ(pipeline.Take(i, here).index, i);
            }
        }
        EXPECT_EQ(worst.load(), 0);
    }
}

// The built-in schemes, but out of memory where a test wants: encoding the
// file named `thrower` (on whichever thread encodes it), or in the first
// window of a long file encoded as it is read (while the next is read).
class ThrowingCoder final : public ISchemeCoder {
public:
    ThrowingCoder(std::unique_ptr<ISchemeCoder> inner, std::string thrower)
        : inner_(std::move(inner)), thrower_(std::move(thrower))
    {
    }
    uint32_t MemNeeded(uint32_t n, uint8_t scheme) override { return inner_->MemNeeded(n, scheme); }
    EncodeStatus Encode(std::span<const uint8_t> input, std::span<uint8_t> output, uint32_t& storedLen, uint8_t scheme,
                        const std::string& name, std::string& fault) override
    {
        if (name == thrower_) throw std::bad_alloc();
        return inner_->Encode(input, output, storedLen, scheme, name, fault);
    }
    bool Decode(std::span<const uint8_t> stored, uint32_t fileSize, ByteBuffer& out, uint8_t scheme,
                const std::string& name) override
    {
        return inner_->Decode(stored, fileSize, out, scheme, name);
    }
    bool ThreadSafe(uint8_t scheme) const override { return inner_->ThreadSafe(scheme); }
    bool Streams(uint8_t scheme) const override { return inner_->Streams(scheme); }
    std::unique_ptr<IStreamEncoder> StreamEncoder(uint8_t, IStreamOutput&) override
    {
        struct Throwing final : IStreamEncoder {
            size_t WindowBytes() const override { return 1 << 20; }
            bool Add(std::span<const uint8_t>) override { throw std::bad_alloc(); }
            uint64_t Length() const override { return 0; }
            bool Finish() override { return true; }
        };
        return std::make_unique<Throwing>();
    }
    std::unique_ptr<ISchemeCoder> ReportingTo(IPrompt& prompt) const override
    {
        return std::make_unique<ThrowingCoder>(inner_->ReportingTo(prompt), thrower_);
    }

private:
    std::unique_ptr<ISchemeCoder> inner_;
    std::string thrower_;
};

TEST(PackWriter, OutOfMemoryOnAnyThreadFailsTheSaveWithItsMessageAndKeepsTheOldPack)
{
    for (const bool onWorker : {true, false}) {
        SCOPED_TRACE(onWorker ? "a file encoded on a worker" : "a long file encoded as it is read");
        test::TempDir dir;
        test::PackDoc doc;
        for (int i = 0; i < 20; ++i) doc.AddFile(dir, "n" + std::to_string(i), test::TextLikeBytes(3000, i), kSchemeLz);
        if (!onWorker) doc.AddFile(dir, "long", test::TextLikeBytes(17 << 20, 1), kSchemeLz);
        const std::string oldBytes = "the old pack";
        const std::string old = dir.Write("p.epk", oldBytes);
        ThrowingCoder coder(std::make_unique<SchemeDispatch>(doc.catalogue, doc.prompt), onWorker ? "n5" : "");
        StoreOptions options;
        options.threads = 4;
        EXPECT_FALSE(doc.archive.Store(old, KeySchedule{}, coder, doc.prompt, options));
        EXPECT_EQ(doc.prompt.Texts(), std::vector<std::string>{msg::kOutOfMemory});
        EXPECT_EQ(test::ReadFileBytes(old), std::vector<uint8_t>(oldBytes.begin(), oldBytes.end()));
        EXPECT_EQ(dir.List().size(), doc.catalogue.Entries().size() + 1);  // the sources and the pack
    }
}

// An import that fails while jobs of the pool still list folders beside the
// one that failed: nothing they write into may go before they have ended.
// Folder a's listing holds a pipe, whose message holds the import until the
// listings of c and d are under way on the pool's threads; c's goes on only
// as the import goes on to fail, with hundreds of names still to look at and
// two folders to hand in: a listing freed under it is written into after
// that, as the sanitizer builds report. The failure: no folder ID left for
// b, or b's listing throws.
TEST(DirectoryImport, AFailureBesideListingsStillBeingMadeFreesNothingUnderTheirJobs)
{
    if (ThreadPool::Shared().Threads() < 2) GTEST_SKIP() << "c's and d's listings need a thread each";
    test::TempDir dir;
    for (const char* file : {"a/b/x", "a/c/e/x", "a/c/f/x", "a/d/x"}) dir.Write(std::string("tree/") + file, "1");
    for (int i = 0; i < 600; ++i) dir.Write("tree/a/c/" + std::to_string(i), "1");
    const std::string pipe = dir / "tree/a/pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string pipeMessage = Printf("已跳过%s：它不是普通文件或文件夹。", pipe.c_str());

    for (const bool listingThrows : {false, true}) {
        SCOPED_TRACE(listingThrows ? "b's listing throws" : "no folder ID for b");
        test::PackDoc doc;
        Catalogue& c = doc.catalogue;
        if (!listingThrows) c.SetFolderCounter(0xFFFE);  // a takes the last one
        std::latch inC(1);
        std::latch inD(1);
        std::latch toldOfPipe(1);
        std::atomic<bool> cSeen{false};
        std::atomic<bool> dSeen{false};
        const ImportFilter filter = [&](std::string_view path) {
            if (path.starts_with("a/b/") && listingThrows) throw std::bad_alloc();
            if (path.starts_with("a/c/") && !cSeen.exchange(true)) {
                inC.count_down();
                toldOfPipe.wait();
            }
            if (path.starts_with("a/d/") && !dSeen.exchange(true)) inD.count_down();
            return false;
        };
        doc.prompt.onMessage = [&](const test::ShownMessage& m) {
            if (m.text != pipeMessage) return;
            inC.wait();
            inD.wait();
            toldOfPipe.count_down();
        };
        const ImportReport report = ImportDirectoryTree(c, c.Root(), dir / "tree", doc.prompt, filter);
        EXPECT_TRUE(report.failed);
        std::vector<std::string> told{pipeMessage};
        if (listingThrows) told.push_back(msg::kOutOfMemory);
        EXPECT_EQ(doc.prompt.Texts(), told);
    }
}

}  // namespace
}  // namespace tarvex
