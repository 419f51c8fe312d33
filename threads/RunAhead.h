#pragma once
// One call run on the thread pool ahead of the thread that wants its result,
// as the read of a file's next window while one is encoded.
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

#include "threads/ThreadPool.h"

namespace tarvex {

// The result to come of a call handed to the process's pool. Let go of
// before Get, the call is dropped if no thread has begun it and waited for
// if it runs.
template <typename Result>
class Ahead {
public:
    Ahead() = default;
    template <typename Call>
    explicit Ahead(Call call) : result_(std::make_unique<std::optional<Result>>())
    {
        ticket_ = ThreadPool::Shared().Submit(
            [slot = result_.get(), call = std::move(call)]() mutable { slot->emplace(call()); });
    }
    Ahead(Ahead&&) noexcept = default;
    // The call handed in before goes first, then the room it writes into.
    Ahead& operator=(Ahead&& other) noexcept
    {
        ticket_ = std::move(other.ticket_);
        result_ = std::move(other.result_);
        return *this;
    }

    bool Valid() const { return ticket_.Valid(); }
    // The call's result, once it has run (here, if no thread of the pool
    // has begun it); throws what the call threw. Once only.
    Result Get()
    {
        const std::unique_ptr<std::optional<Result>> result = std::move(result_);
        ThreadPool::Ticket ticket = std::move(ticket_);
        ticket.Wait();
        return std::move(**result);
    }

private:
    std::unique_ptr<std::optional<Result>> result_;
    ThreadPool::Ticket ticket_;  // after the room its call writes into, so that it goes first
};

// Hands call(args...) to the process's pool; the arguments are copied.
template <typename Call, typename... Args>
auto RunAhead(Call call, Args... args) -> Ahead<std::invoke_result_t<Call&, Args&...>>
{
    return Ahead<std::invoke_result_t<Call&, Args&...>>(
        [call = std::move(call), ... args = std::move(args)]() mutable { return call(args...); });
}

}  // namespace tarvex
