#pragma once
// Files of a mounted pack handed to the kernel ahead of a program that reads
// the tree through (an archiver, a copy, a search): they are decoded here
// and stored in the kernel's page cache, where the program then finds them
// without asking.
//
// Such a program lists a folder, walks each of its sub-folders whole, then
// reads the folder's files in the order listed: that walk puts every file
// of the tree in one order, and files are decoded along it, ahead of the
// program. The kernel takes a file only once it holds the listing that
// names it, so a file decoded before its folder is listed waits for the
// listing. Decoding ahead is started by the program's reads of files the
// kernel did not have: the first allows a short stretch, and each that
// follows the walk doubles it; listings along the walk move it on. A mere
// listing of the tree decodes nothing, and a program that reads here and
// there causes little work ahead. What is not pushed in time is read by the
// program itself.
//
// The decoding is done on a thread of its own at the lowest priority: it
// takes only the time the reading program leaves, which on a small machine
// is what keeps that program from waiting.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "base/ByteBuffer.h"
#include "tools/epk/MountTree.h"

namespace tarvex::epk {

class ReadAhead {
public:
    // A whole file read quietly (the program's own read of it reports what
    // fails), nothing when it cannot be read so; called on the thread of
    // this reader.
    using Fetch = std::function<std::shared_ptr<const ByteBuffer>(uint32_t node)>;
    // Hands a file to the kernel.
    using Store = std::function<void(uint32_t node, const ByteBuffer& bytes)>;

    ReadAhead(const MountTree& tree, Fetch fetch, Store store);
    // Waits for the file being decoded.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The kernel has taken in the whole listing of `folder`.
    void Listed(uint32_t folder);
    // A program reads item `node` from its start, not finding it in the
    // kernel's cache.
    void Reading(uint32_t node);

private:
    struct Decoded {
        uint32_t node;
        std::shared_ptr<const ByteBuffer> bytes;
    };
    void AddWalk(uint32_t folder);
    bool Along(uint32_t rank) const;
    void MoveTo(uint32_t rank);
    bool HasWork() const;
    void Work();

    const MountTree& tree_;
    const Fetch fetch_;
    const Store store_;
    // The walk: every file in the order read, its folder, and the bytes of
    // the files pushed before it (those too big to push count nothing).
    std::vector<uint32_t> order_;
    std::vector<uint64_t> bytesBefore_;  // by rank, one more than files
    std::vector<uint32_t> rankOf_;       // by file node
    std::vector<uint32_t> parent_;       // by node
    std::vector<uint32_t> firstRank_;    // by folder: of the first file of its walk
    std::vector<std::pair<uint32_t, uint32_t>> filesOf_;  // by folder: the ranks of its own files

    std::mutex mutex_;
    std::vector<bool> listed_;            // by folder
    std::map<uint32_t, Decoded> waiting_;  // by rank: decoded, their folder not yet listed
    uint32_t next_ = 0;                   // the rank to decode next
    uint32_t readerAt_ = 0;               // the rank the program has come to, as far as known
    uint64_t stretch_ = 0;                // how far ahead of the program to decode, in bytes; 0 before any read
    uint64_t aheadTo_ = 0;                // decode files that start before this many bytes of the walk
    bool stopping_ = false;
    std::condition_variable wake_;
    std::thread worker_;  // none when it could not be started: then nothing is read ahead
};

}  // namespace tarvex::epk
