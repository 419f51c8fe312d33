// The thread helpers that saving and importing run on: jobs run once each,
// where they are wanted when no helper has begun them, and results come
// back in order and are destroyed where their memory belongs.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "archive/OrderedPipeline.h"
#include "archive/WorkAhead.h"

namespace tarvex {
namespace {

TEST(WorkAhead, EveryJobRunsOnceNestedWaitsEndAndUnbegunJobsAreDropped)
{
    for (size_t helpers : {0u, 1u, 3u}) {
        SCOPED_TRACE(helpers);
        std::atomic<int> inner{0};
        std::vector<int> outer(50, 0);
        WorkAhead ahead(helpers);
        std::vector<WorkAhead::Ticket> tickets;
        for (int i = 0; i < 50; ++i)
            tickets.push_back(ahead.Submit([&, i] {
                // Each job hands in pieces of its own and waits for them.
                std::vector<WorkAhead::Ticket> pieces;
                for (int k = 0; k < 4; ++k) pieces.push_back(ahead.Submit([&] { ++inner; }));
                for (WorkAhead::Ticket t : pieces) ahead.Wait(t);
                ++outer[i];
            }));
        for (int i = 49; i >= 0; --i) ahead.Wait(tickets[i]);
        EXPECT_EQ(inner.load(), 200);
        EXPECT_EQ(outer, std::vector<int>(50, 1));
    }
    // With no helper, a job no one waits for never runs.
    bool ran = false;
    {
        WorkAhead ahead(0);
        ahead.Submit([&] { ran = true; });
    }
    EXPECT_FALSE(ran);
}

// A result that notes the thread it is destroyed on.
struct Noted {
    size_t index = 0;
    std::thread::id* destroyedOn = nullptr;
    Noted(size_t i, std::thread::id* on) : index(i), destroyedOn(on) {}
    Noted(Noted&& other) noexcept : index(other.index), destroyedOn(std::exchange(other.destroyedOn, nullptr)) {}
    ~Noted()
    {
        if (destroyedOn) *destroyedOn = std::this_thread::get_id();
    }
};

struct NoContext {};

TEST(OrderedPipeline, ResultsComeInOrderAndLightOnesAreDestroyedByTheirMaker)
{
    constexpr size_t kJobs = 3000;
    std::vector<std::thread::id> madeOn(kJobs);
    std::vector<std::thread::id> destroyedOn(kJobs);
    const auto heavy = [](size_t i) { return i % 100 == 7; };
    const std::thread::id caller = std::this_thread::get_id();
    {
        OrderedPipeline<Noted, NoContext>::Jobs jobs;
        jobs.count = kJobs;
        jobs.onCaller = [](size_t i) { return i % 500 == 3; };
        jobs.weight = [&](size_t i) { return heavy(i) ? uint64_t{1} << 20 : 4096; };
        jobs.work = [&](size_t i, NoContext&) {
            madeOn[i] = std::this_thread::get_id();
            return Noted(i, &destroyedOn[i]);
        };
        OrderedPipeline<Noted, NoContext> pipeline(std::move(jobs), 2, 8 << 20,
                                                   [] { return std::make_unique<NoContext>(); });
        NoContext here;
        for (size_t i = 0; i < kJobs; ++i) ASSERT_EQ(pipeline.Take(i, here).index, i);
    }
    for (size_t i = 0; i < kJobs; ++i) {
        SCOPED_TRACE(i);
        ASSERT_NE(destroyedOn[i], std::thread::id());
        if (i % 500 == 3) {
            EXPECT_EQ(madeOn[i], caller);
            EXPECT_EQ(destroyedOn[i], caller);
        } else {
            EXPECT_NE(madeOn[i], caller);
            EXPECT_EQ(destroyedOn[i], heavy(i) ? caller : madeOn[i]);
        }
    }
}

}  // namespace
}  // namespace tarvex
