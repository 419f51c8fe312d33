#pragma once
// What Windows tells of an open file, in the platform's own terms.
#include <windows.h>

#include "platform/DiskPaths.h"

namespace tarvex {

// The stamp of an open file; false when Windows does not tell it.
bool StampOfHandle(HANDLE handle, FileStamp& stamp);

}  // namespace tarvex
