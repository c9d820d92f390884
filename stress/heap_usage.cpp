#include "stress/heap_usage.h"

#include <vector>

namespace quillpost::stress {
namespace {

void AddHeap(HANDLE heap, HeapUsage* usage)
{
    if (!HeapLock(heap)) return;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heap, &entry)) {
        if (!(entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)) continue;
        usage->bytes += entry.cbData;
        ++usage->blocks;
    }
    HeapUnlock(heap);
}

}  // namespace

HeapUsage MeasureHeaps()
{
    // Reserved before counting, so that the list itself is not part of the figure it reports.
    static std::vector<HANDLE> heaps(256);
    HeapUsage usage;
    const DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    for (DWORD i = 0; i < count && i < heaps.size(); ++i) AddHeap(heaps[i], &usage);
    return usage;
}

}  // namespace quillpost::stress
