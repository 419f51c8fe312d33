#include "tools/epk/ReadAhead.h"

#include <new>

namespace tarvex::epk {
namespace {

// How far ahead of the reader files are pushed: a few dozen, small ones only
// (the kernel reads ahead within big files by itself).
constexpr uint32_t kFilesAhead = 32;
constexpr uint64_t kLargestPushed = 1 << 20;

}  // namespace

ReadAhead::ReadAhead(const MountTree& tree, std::function<void(uint32_t node)> push)
    : tree_(tree), push_(std::move(push)), placeOf_(tree.NodeCount())
{
    for (uint32_t node = 0; node < tree.NodeCount(); ++node) {
        const std::vector<uint32_t>& children = tree.Node(node).children;
        for (uint32_t place = 0; place < children.size(); ++place) placeOf_[children[place]] = {node, place};
    }
}

ReadAhead::~ReadAhead()
{
    ThreadPool::Ticket job;
    {
        const std::lock_guard<std::mutex> hold(mutex_);
        stopping_ = true;
        job = std::move(job_);
    }
    if (job.Valid()) job.Wait();
}

void ReadAhead::Reading(uint32_t node)
{
    const auto [folder, place] = placeOf_[node];
    const std::lock_guard<std::mutex> hold(mutex_);
    if (folder != folder_ || place > pushedTo_ || place + kFilesAhead < pushedTo_) {
        folder_ = folder;
        pushedTo_ = place;
    }
    readerAt_ = place;
    if (pushing_) return;
    pushing_ = true;
    // A finished job's ticket goes; its job has ended.
    job_ = ThreadPool::Shared().Submit([this] { Push(); });
}

void ReadAhead::Push()
{
    std::unique_lock<std::mutex> hold(mutex_);
    for (;;) {
        const std::vector<uint32_t>& children = tree_.Node(folder_).children;
        if (stopping_ || pushedTo_ + 1 >= children.size() || pushedTo_ >= readerAt_ + kFilesAhead) break;
        const uint32_t node = children[++pushedTo_];
        if (tree_.Node(node).folder || tree_.Node(node).size > kLargestPushed) continue;
        hold.unlock();
        try {
            push_(node);
        } catch (const std::bad_alloc&) {
            // Not pushed: the program's own read of it gets the bytes, or says why not.
        }
        hold.lock();
    }
    pushing_ = false;
}

}  // namespace tarvex::epk
