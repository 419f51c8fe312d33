#pragma once
// How the program's allocator treats large blocks (file buffers, codec and
// module work areas).

namespace tarvex {

// Makes every block of some MiB its own mapping, given back to the system
// the moment it is freed. By default the allocator raises that limit to
// the size of each large block freed, so later blocks of up to 32 MiB come
// from the heap instead, where a work area freed below a live buffer cannot
// be given back: peak memory then grows with the history of file sizes, not
// with the files in flight. Call once, first thing in main.
void KeepLargeBlocksMapped();

}  // namespace tarvex
