#include "tools/epk/ReadAhead.h"

#include <algorithm>
#include <exception>
#include <new>
#include <sys/resource.h>
#include <system_error>
#include <unistd.h>

namespace tarvex::epk {
namespace {

// How far ahead of the program files are decoded: a first read allows a
// little, each read along the walk doubles it, up to the most.
constexpr uint64_t kFirstStretch = 1 << 20;
constexpr uint64_t kMostAhead = 64 << 20;
// Bigger files are left to the kernel, which reads ahead within a file by itself.
constexpr uint64_t kLargestPushed = 16 << 20;
constexpr int kLowestPriority = 19;

}  // namespace

ReadAhead::ReadAhead(const MountTree& tree, Fetch fetch, Store store)
    : tree_(tree),
      fetch_(std::move(fetch)),
      store_(std::move(store)),
      rankOf_(tree.NodeCount(), 0),
      parent_(tree.NodeCount(), MountTree::kRoot),
      firstRank_(tree.NodeCount(), 0),
      filesOf_(tree.NodeCount()),
      listed_(tree.NodeCount(), false)
{
    for (uint32_t node = 0; node < tree.NodeCount(); ++node)
        for (uint32_t child : tree.Node(node).children) parent_[child] = node;
    AddWalk(MountTree::kRoot);
    bytesBefore_.reserve(order_.size() + 1);
    bytesBefore_.push_back(0);
    for (uint32_t node : order_) {
        const uint64_t size = tree.Node(node).size;
        bytesBefore_.push_back(bytesBefore_.back() + (size <= kLargestPushed ? size : 0));
    }
    try {
        worker_ = std::thread([this] { Work(); });
    } catch (const std::system_error&) {
        // Without the thread the program reads every file itself.
    }
}

ReadAhead::~ReadAhead()
{
    {
        const std::lock_guard<std::mutex> hold(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (worker_.joinable()) worker_.join();
}

// The walk below `folder`: each sub-folder's walk in the order listed, then
// the folder's own files. Kept on a stack of its own, however deep the tree.
void ReadAhead::AddWalk(uint32_t top)
{
    std::vector<std::pair<uint32_t, size_t>> open{{top, 0}};  // a folder, its next child to walk
    firstRank_[top] = 0;
    while (!open.empty()) {
        auto& [folder, child] = open.back();
        const std::vector<uint32_t>& children = tree_.Node(folder).children;
        while (child < children.size() && !tree_.Node(children[child]).folder) ++child;
        if (child < children.size()) {
            const uint32_t sub = children[child++];
            firstRank_[sub] = static_cast<uint32_t>(order_.size());
            open.emplace_back(sub, 0);
            continue;
        }
        const auto begin = static_cast<uint32_t>(order_.size());
        for (uint32_t node : children) {
            if (tree_.Node(node).folder) continue;
            rankOf_[node] = static_cast<uint32_t>(order_.size());
            order_.push_back(node);
        }
        filesOf_[folder] = {begin, static_cast<uint32_t>(order_.size())};
        open.pop_back();
    }
}

void ReadAhead::Listed(uint32_t folder)
{
    std::map<uint32_t, Decoded> ready;
    {
        const std::lock_guard<std::mutex> hold(mutex_);
        listed_[folder] = true;
        // Moved over as they are: nothing here allocates, on a thread that answers the kernel.
        const auto [begin, end] = filesOf_[folder];
        for (auto it = waiting_.lower_bound(begin); it != waiting_.end() && it->first < end;)
            ready.insert(waiting_.extract(it++));
        // Listed as the walk goes on: every file before the folder's walk
        // has been read.
        const uint32_t rank = firstRank_[folder];
        if (Along(rank)) {
            MoveTo(rank);
            if (HasWork()) wake_.notify_one();
        }
    }
    for (const auto& [rank, file] : ready) store_(file.node, *file.bytes);
}

void ReadAhead::Reading(uint32_t node)
{
    const uint32_t rank = rankOf_[node];
    const std::lock_guard<std::mutex> hold(mutex_);
    if (Along(rank)) {
        stretch_ = std::min(2 * stretch_, kMostAhead);
    } else {
        // Not along the walk: start again from this file, with little.
        stretch_ = kFirstStretch;
        waiting_.clear();
        next_ = rank + 1;
        aheadTo_ = 0;
    }
    MoveTo(rank + 1);  // this file the program reads itself
    if (HasWork()) wake_.notify_one();
}

// Whether a program that has come to `rank` follows the walk: from where it
// was to at most where decoding ahead has come or may come.
bool ReadAhead::Along(uint32_t rank) const
{
    return stretch_ > 0 && rank >= readerAt_ && (rank <= next_ || bytesBefore_[rank] <= aheadTo_);
}

// The program has read every file before `rank`.
void ReadAhead::MoveTo(uint32_t rank)
{
    readerAt_ = rank;
    next_ = std::max(next_, rank);
    waiting_.erase(waiting_.begin(), waiting_.lower_bound(rank));
    aheadTo_ = std::max(aheadTo_, bytesBefore_[rank] + stretch_);
}

bool ReadAhead::HasWork() const
{
    return next_ < order_.size() && bytesBefore_[next_] < aheadTo_;
}

void ReadAhead::Work()
{
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kLowestPriority);
    std::unique_lock<std::mutex> hold(mutex_);
    for (;;) {
        wake_.wait(hold, [this] { return stopping_ || HasWork(); });
        if (stopping_) return;
        const uint32_t rank = next_++;
        const uint32_t node = order_[rank];
        if (tree_.Node(node).size == 0 || tree_.Node(node).size > kLargestPushed) continue;
        hold.unlock();
        std::shared_ptr<const ByteBuffer> bytes;
        try {
            bytes = fetch_(node);
        } catch (const std::exception&) {
            // Not pushed: the program's own read of it gets the bytes, or says why not.
        }
        hold.lock();
        if (!bytes || rank < readerAt_) continue;
        if (!listed_[parent_[node]]) {
            try {
                waiting_.emplace(rank, Decoded{node, std::move(bytes)});
            } catch (const std::bad_alloc&) {
                // Not kept: the program reads it itself.
            }
            continue;
        }
        hold.unlock();
        store_(node, *bytes);
        hold.lock();
    }
}

}  // namespace tarvex::epk
