#pragma once
// Idle Zstandard contexts kept between calls, so that many small files do not
// each pay for a fresh context and its tables. Each call takes one for itself
// (a new one when none is idle) and gives it back when it is done, so calls
// on several threads never share a context. The pool belongs to the module,
// not to the calling threads: whatever it holds is freed when the module is
// unloaded, whichever threads called it and however long they live.
#include <array>
#include <cstddef>
#include <memory>
#include <mutex>

namespace tarvex::zstd {

template <typename Context, size_t (*FreeContext)(Context*)>
class ContextPool {
    struct Free {
        void operator()(Context* context) const { FreeContext(context); }
    };

public:
    using Owned = std::unique_ptr<Context, Free>;

    // A context taken from the pool for as long as the lease lives, then
    // given back; null when none was idle and none could be made.
    class Lease {
    public:
        Lease(ContextPool& pool, Owned context) : pool_(pool), context_(std::move(context)) {}
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        ~Lease()
        {
            if (context_) pool_.GiveBack(std::move(context_));
        }
        Context* get() const { return context_.get(); }

    private:
        ContextPool& pool_;
        Owned context_;
    };

    // An idle context, or else a new one from make() (an Owned, null when
    // it cannot make one).
    template <typename Make>
    Lease Take(Make make)
    {
        {
            std::lock_guard lock(mutex_);
            if (idle_ > 0) return Lease(*this, std::move(kept_[--idle_]));
        }
        return Lease(*this, make());
    }

private:
    // Kept for the next call; freed when the pool is full (more calls ran at
    // once than it keeps).
    void GiveBack(Owned context)
    {
        std::lock_guard lock(mutex_);
        if (idle_ < kept_.size()) kept_[idle_++] = std::move(context);
    }

    std::mutex mutex_;
    std::array<Owned, 64> kept_;
    size_t idle_ = 0;
};

}  // namespace tarvex::zstd
