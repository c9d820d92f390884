#include "resource_counters.h"

#include <tlhelp32.h>

#include <cstdio>
#include <vector>

namespace quillpost::stress {
namespace {

long long CommittedPrivateBytes()
{
    long long total = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (BYTE* address = nullptr; VirtualQuery(address, &region, sizeof(region)) == sizeof(region);) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        BYTE* next = static_cast<BYTE*>(region.BaseAddress) + region.RegionSize;
        if (next <= address) break;
        address = next;
    }
    return total;
}

long long BusyHeapBytes()
{
    const DWORD count = GetProcessHeaps(0, nullptr);
    std::vector<HANDLE> heaps(count + 16);
    const DWORD listed = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    long long total = 0;
    for (DWORD i = 0; i < listed && i < heaps.size(); ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
        }
        HeapUnlock(heaps[i]);
    }
    return total;
}

long KernelHandles()
{
    long count = 0;
    DWORD flags = 0;
    for (ULONG_PTR value = 4; value < 0x20000; value += 4) {
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

long GdiObjects()
{
    long count = 0;
    for (ULONG_PTR index = 1; index < 0x10000; ++index) {
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(index))) ++count;
    }
    return count;
}

struct WindowTally {
    DWORD process = GetCurrentProcessId();
    long count = 0;
};

BOOL CALLBACK CountChild(HWND window, LPARAM tally)
{
    ++reinterpret_cast<WindowTally*>(tally)->count;
    (void)window;
    return TRUE;
}

void CountWindowAndChildren(HWND window, WindowTally& tally)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != tally.process) return;
    ++tally.count;
    EnumChildWindows(window, CountChild, reinterpret_cast<LPARAM>(&tally));
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM tally)
{
    CountWindowAndChildren(window, *reinterpret_cast<WindowTally*>(tally));
    return TRUE;
}

long UserObjects()
{
    WindowTally tally;
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&tally));
    for (HWND window = nullptr; (window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr));)
        CountWindowAndChildren(window, tally);
    return tally.count;
}

long FreeTlsSlots()
{
    std::vector<DWORD> taken;
    taken.reserve(1100);
    for (DWORD slot; (slot = TlsAlloc()) != TLS_OUT_OF_INDEXES;) taken.push_back(slot);
    for (DWORD slot : taken) TlsFree(slot);
    return static_cast<long>(taken.size());
}

long Threads()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    long count = 0;
    THREADENTRY32 entry{sizeof(entry)};
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

}  // namespace

ResourceCounts ResourceCounts::operator-(const ResourceCounts& earlier) const
{
    return {committedBytes - earlier.committedBytes, heapBytes - earlier.heapBytes, handles - earlier.handles,
            gdiObjects - earlier.gdiObjects,         userObjects - earlier.userObjects,
            freeTlsSlots - earlier.freeTlsSlots, threads - earlier.threads};
}

long CountThreads() { return Threads(); }

ResourceCounts CountResources()
{
    ResourceCounts counts;
    counts.freeTlsSlots = FreeTlsSlots();
    counts.threads = Threads();
    counts.handles = KernelHandles();
    counts.gdiObjects = GdiObjects();
    counts.userObjects = UserObjects();
    counts.heapBytes = BusyHeapBytes();
    counts.committedBytes = CommittedPrivateBytes();
    return counts;
}

std::string Describe(const ResourceCounts& growth)
{
    char text[256];
    std::snprintf(text, sizeof(text),
                  "committed %+.1f KiB, heap %+.1f KiB, handles %+ld, gdi %+ld, user %+ld, tls-slots %+ld, threads %+ld",
                  growth.committedBytes / 1024.0, growth.heapBytes / 1024.0, growth.handles, growth.gdiObjects,
                  growth.userObjects, -growth.freeTlsSlots, growth.threads);
    return text;
}

const char* CountingMethod()
{
    return "committed = VirtualQuery MEM_COMMIT|MEM_PRIVATE; heap = HeapWalk busy bytes; handles = values "
           "GetHandleInformation accepts; gdi = indexes GetObjectType accepts; user = windows of the process "
           "(EnumWindows, EnumChildWindows, message-only); tls = TlsAlloc probing; threads = tool-help snapshot "
           "(GetGuiResources, "
           "GetProcessHandleCount and PrivateUsage count 0 under Wine 8)";
}

}  // namespace quillpost::stress
