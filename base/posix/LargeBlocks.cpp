#include "base/LargeBlocks.h"

#include <malloc.h>

namespace tarvex {

void KeepLargeBlocksMapped()
{
    // Below this, blocks are many and short-lived (names, small files) and
    // the heap serves them faster than fresh mappings would.
    constexpr int kMappedFrom = 4 << 20;
    mallopt(M_MMAP_THRESHOLD, kMappedFrom);
    // Setting the threshold above also stops the heap from raising its trim
    // threshold as it goes, so it would hand back freed memory at every lull
    // and fault it in again: the small files in flight (a few megabytes,
    // freed and allocated again all the time) keep their pages instead.
    constexpr int kKeptFree = 16 << 20;
    mallopt(M_TRIM_THRESHOLD, kKeptFree);
}

}  // namespace tarvex
