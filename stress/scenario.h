// One stress scenario runs in a child process of its own, so that a crash or a hang is
// counted by the parent instead of ending the run. It prints its figures as lines and ends
// with "verdict ok" or "verdict failed: <why>".
#pragma once

#include <cstdarg>
#include <cstdio>
#include <random>
#include <string>

#include "resource_counters.h"

namespace quillpost::stress {

struct ScenarioArgs {
    unsigned seed = 1;
    long count = 0;       // cycles, rounds or calls, as the scenario counts them
    long width = 0;       // apartments or threads, where the scenario has them
    long resumeFrom = 1;  // the first fault to inject, after a child that crashed
};

// printf to stdout, flushed at once: the parent may have to read it after a crash.
inline void Say(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Figures of one scenario: the counts after warm-up and at the end.
inline void SayGrowth(const char* what, const ResourceCounts& afterWarmUp, const ResourceCounts& atEnd)
{
    const ResourceCounts growth = atEnd - afterWarmUp;
    Say("figure %s: %s", what, Describe(growth).c_str());
    Say("figure   held at the end: committed %.1f MiB, heap %.1f MiB, handles %ld, gdi %ld, user %ld, free tls "
        "slots %ld, threads %ld",
        atEnd.committedBytes / 1048576.0, atEnd.heapBytes / 1048576.0, atEnd.handles, atEnd.gdiObjects,
        atEnd.userObjects, atEnd.freeTlsSlots, atEnd.threads);
    Say("growth %lld %ld %ld %ld %ld", growth.committedBytes, growth.handles, growth.gdiObjects, growth.userObjects,
        -growth.freeTlsSlots);
}

inline int Verdict(bool ok, const char* why)
{
    if (ok) {
        Say("verdict ok");
        return 0;
    }
    Say("verdict failed: %s", why);
    return 1;
}

int ViewerCycles(const ScenarioArgs& args);
int AboutCycles(const ScenarioArgs& args);
int BrowserBaseline(const ScenarioArgs& args);
int Apartments(const ScenarioArgs& args);
int MultithreadedCallers(const ScenarioArgs& args);
int ThreadEndsWithWindowsOpen(const ScenarioArgs& args, bool uninitialize);
int UnloadCycles(const ScenarioArgs& args);
int UnloadRace(const ScenarioArgs& args);
int RegistryFaults(const ScenarioArgs& args);
int AllocationFaults(const ScenarioArgs& args);
int CreationFaults(const ScenarioArgs& args);
// The slow-system family: `row`'s call returns late while the host drives what crosses its edge.
struct SlowCallRow;
int SlowSystem(const ScenarioArgs& args, const SlowCallRow& row);

}  // namespace quillpost::stress
