#include "base/LargeBlocks.h"

namespace tarvex {

// The Windows heap already gives every block of about a megabyte or more
// mappings of its own and returns them to the system when they are freed.
void KeepLargeBlocksMapped()
{
}

}  // namespace tarvex
