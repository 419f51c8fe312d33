#include "archive/LargeBlocks.h"

#include <malloc.h>

namespace tarvex {

void KeepLargeBlocksMapped()
{
    // Below this, blocks are many and short-lived (names, small files) and
    // the heap serves them faster than fresh mappings would.
    constexpr int kMappedFrom = 4 << 20;
    mallopt(M_MMAP_THRESHOLD, kMappedFrom);
}

}  // namespace tarvex
