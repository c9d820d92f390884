// What a process holds, counted from inside it by means that work under Wine as on Windows.
// (Under Wine 8 GetGuiResources returns 0, GetProcessHandleCount counts 0 and PrivateUsage
// is 0, so those are not used.)
#pragma once

#include <windows.h>

#include <string>

namespace quillpost::stress {

struct ResourceCounts {
    long long committedBytes = 0;  // VirtualQuery: MEM_COMMIT pages of MEM_PRIVATE regions
    long long heapBytes = 0;       // HeapWalk: busy blocks of every process heap
    long handles = 0;              // kernel handle values that GetHandleInformation accepts
    long gdiObjects = 0;           // GDI handle indexes that GetObjectType accepts
    long userObjects = 0;          // windows of this process: top-level, children, message-only
    long freeTlsSlots = 0;         // TlsAlloc succeeds this many times before it runs out
    long threads = 0;              // threads of this process (a tool-help snapshot)

    ResourceCounts operator-(const ResourceCounts& earlier) const;
};

ResourceCounts CountResources();
long CountThreads();

// "committed +12.0 KiB, heap +3.1 KiB, handles +0, gdi +0, user +0, tls-slots +0, threads +0"
std::string Describe(const ResourceCounts& growth);

// How the counts are taken, for the report.
const char* CountingMethod();

}  // namespace quillpost::stress
