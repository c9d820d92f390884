// What the start-up benchmark's programs measure about themselves: a clock that all processes of
// the machine share (so a launcher can subtract its own reading from a child's), and the private
// memory the process has committed. Wine reports no PrivateUsage, so the address space is walked.
#pragma once

#include <windows.h>

#include <cstdio>

namespace bench {

// The class the host creates, by the name it knows it by.
inline constexpr wchar_t kPluginProgId[] = L"TallowPlugin6.Sample";

inline long long Ticks()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

inline double Milliseconds(long long ticks)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

// Committed private pages: heaps, DIB sections, stacks, everything the process itself allocated.
inline long long CommittedPrivateBytes()
{
    long long total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (auto* at = static_cast<BYTE*>(nullptr); VirtualQuery(at, &region, sizeof(region)) == sizeof(region);
         at = static_cast<BYTE*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        if (static_cast<BYTE*>(region.BaseAddress) + region.RegionSize < at) break;  // wrapped around
    }
    return total;
}

// One line of "name=value" pairs on standard output, which the launcher reads.
class Report {
public:
    Report& Add(const char* name, long long value)
    {
        std::printf("%s%s=%lld", first_ ? "" : " ", name, value);
        first_ = false;
        return *this;
    }
    ~Report()
    {
        std::printf("\n");
        std::fflush(stdout);
    }

private:
    bool first_ = true;
};

}  // namespace bench
