// Unload and reload through the unload query, as a host that frees unused libraries does:
// what each unload leaves behind in the process.
#include <algorithm>
#include <set>
#include <string>

#include "plugin_driver.h"
#include "scenario.h"

namespace quillpost::stress {
namespace {

using ClassNames = std::set<std::wstring>;

BOOL CALLBACK NoteClass(HWND window, LPARAM names)
{
    const auto module = reinterpret_cast<HMODULE>(GetClassLongPtrW(window, GCLP_HMODULE));
    if (module != GetModuleHandleW(kPluginModule)) return TRUE;
    wchar_t name[256] = {};
    if (GetClassNameW(window, name, ARRAYSIZE(name))) reinterpret_cast<ClassNames*>(names)->insert(name);
    return TRUE;
}

// The window classes the module registered, learnt from its windows while they are open.
void NoteClassesOfOpenWindows(ClassNames& names)
{
    for (HWND window : PluginWindows(true)) {
        NoteClass(window, reinterpret_cast<LPARAM>(&names));
        EnumChildWindows(window, NoteClass, reinterpret_cast<LPARAM>(&names));
    }
}

// Each class left behind is counted once: then the host takes it away, as it would have to.
long ClassesLeftBehind(HMODULE formerModule, const ClassNames& names)
{
    long count = 0;
    for (const std::wstring& name : names) {
        WNDCLASSEXW info{sizeof(info)};
        if (!GetClassInfoExW(formerModule, name.c_str(), &info)) continue;
        ++count;
        UnregisterClassW(name.c_str(), formerModule);
    }
    return count;
}

struct UnloadTally {
    long failedCalls = 0;
    long stayedLoaded = 0;
    long classesLeft = 0;
    // After windows closed: unloads done by the host's first CoFreeUnusedLibrariesEx itself, and
    // the longest wait after it returned for the others.
    long goneDuringCall = 0, goneLater = 0;
    ULONGLONG slowestLaterMs = 0;
};

// The host's unload call right after its windows closed: was the module gone when it returned?
void TimeUnloadAfterWindows(UnloadTally& tally)
{
    CoFreeUnusedLibrariesEx(0, 0);
    const ULONGLONG returned = GetTickCount64();
    if (GetModuleHandleW(kPluginModule) == nullptr) {
        ++tally.goneDuringCall;
        return;
    }
    if (!FreePluginAndWait()) return;
    ++tally.goneLater;
    tally.slowestLaterMs = std::max(tally.slowestLaterMs, GetTickCount64() - returned);
}

// One cycle: create, call, maybe open and close both windows, release, ask COM to unload.
void Cycle(bool withWindows, ClassNames& classes, UnloadTally& tally)
{
    HRESULT hr = S_OK;
    ComPtr<IDispatch> plugin = CreatePlugin(&hr);
    if (!plugin) {
        ++tally.failedCalls;
        return;
    }
    const HMODULE module = GetModuleHandleW(kPluginModule);
    if (FAILED(CallGetPublishInfo(plugin.Get()))) ++tally.failedCalls;
    if (withWindows) {
        if (FAILED(CallConfigure(plugin.Get())) || FAILED(CallParseCommand(plugin.Get()))) ++tally.failedCalls;
        NoteClassesOfOpenWindows(classes);
        if (!CloseByUser(PluginWindows(true))) ++tally.failedCalls;
    }
    plugin.Reset();
    if (withWindows) TimeUnloadAfterWindows(tally);
    if (!FreePluginAndWait()) {
        ++tally.stayedLoaded;
        return;
    }
    tally.classesLeft += ClassesLeftBehind(module, classes);
}

}  // namespace

int UnloadCycles(const ScenarioArgs& args)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return Verdict(false, "CoInitializeEx");
    std::mt19937 random(args.seed);
    const long warmUp = 5;
    ClassNames classes;
    UnloadTally tally;
    ResourceCounts afterWarmUp;
    for (long cycle = 0; cycle < args.count + warmUp; ++cycle) {
        if (cycle == warmUp) afterWarmUp = CountResources();
        Cycle(cycle < 2 || random() % 20 == 0, classes, tally);
        if (tally.failedCalls > 0) break;  // e.g. no TLS slot left: every later cycle fails the same way
    }
    const ResourceCounts atEnd = CountResources();
    const ResourceCounts growth = atEnd - afterWarmUp;
    const double cycles = static_cast<double>(args.count);
    Say("figure %ld unload cycles: failed creations or calls %ld, cycles the module stayed loaded %ld", args.count,
        tally.failedCalls, tally.stayedLoaded);
    Say("figure per unload: tls slots %.2f, handles %.2f, heap %.0f bytes, committed %.0f bytes, window classes "
        "left %.2f (of %zu the module registers)",
        -growth.freeTlsSlots / cycles, growth.handles / cycles, growth.heapBytes / cycles,
        growth.committedBytes / cycles, tally.classesLeft / cycles, classes.size());
    Say("figure unloads after windows closed: %ld gone when the host's unload call returned, %ld later "
        "(at most %llu ms after it)",
        tally.goneDuringCall, tally.goneLater, tally.slowestLaterMs);
    SayGrowth("unload growth after warm-up", afterWarmUp, atEnd);
    Say("perunload %ld %ld", -growth.freeTlsSlots, tally.classesLeft);
    CoUninitialize();
    return Verdict(tally.failedCalls == 0 && tally.stayedLoaded == 0, "a cycle failed or the module stayed loaded");
}

}  // namespace quillpost::stress
