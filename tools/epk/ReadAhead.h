#pragma once
// Files of a mounted folder handed to the kernel ahead of a program that
// reads them one after another (an archiver, a copy, a search through a
// tree): once it reads a file from its start, the small files after it in
// the folder's listing are read here, a window ahead, and stored in the
// kernel's page cache, where the program then finds them without asking.
// One reader is followed at a time; a read in another folder moves the
// window there. What cannot be pushed is left to the program's own reads.
#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "threads/ThreadPool.h"
#include "tools/epk/MountTree.h"

namespace tarvex::epk {

class ReadAhead {
public:
    // push: reads item `node` and stores it in the kernel, quietly (a file
    // that cannot be read is reported when the program reads it); called
    // on a thread of the pool, one call at a time.
    ReadAhead(const MountTree& tree, std::function<void(uint32_t node)> push);
    // Waits for a push under way.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // A program reads item `node` from its start.
    void Reading(uint32_t node);

private:
    void Push();

    const MountTree& tree_;
    const std::function<void(uint32_t)> push_;
    std::vector<std::pair<uint32_t, uint32_t>> placeOf_;  // by node: its folder, its place in the folder's children

    std::mutex mutex_;
    uint32_t folder_ = MountTree::kRoot;
    uint32_t readerAt_ = 0;  // the place of the file read last
    uint32_t pushedTo_ = 0;  // the place of the file pushed last
    bool pushing_ = false;
    bool stopping_ = false;
    ThreadPool::Ticket job_;
};

}  // namespace tarvex::epk
