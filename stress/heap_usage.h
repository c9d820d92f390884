// What the process holds on its heaps, walked block by block: Wine implements no memory
// counters (GetProcessMemoryInfo's private bytes stay 0), but HeapWalk works.
#pragma once

#include <windows.h>

namespace quillpost::stress {

struct HeapUsage {
    long long bytes = 0;
    long long blocks = 0;
};

HeapUsage MeasureHeaps();

}  // namespace quillpost::stress
