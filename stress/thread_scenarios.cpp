// The plug-in in many apartments at once, called from the multithreaded apartment through
// the marshaler, and in threads that end while its windows are open.
#include <process.h>

#include <memory>

#include "plugin_driver.h"
#include "scenario.h"

namespace quillpost::stress {
namespace {

struct ThreadWork {
    unsigned seed = 0;
    long rounds = 0;
    volatile LONG failures = 0;
};

void Fail(ThreadWork& work) { InterlockedIncrement(&work.failures); }

// One apartment: a plug-in of its own, both windows opened and closed round after round.
unsigned __stdcall ApartmentThread(void* parameter)
{
    auto& work = *static_cast<ThreadWork*>(parameter);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        Fail(work);
        return 1;
    }
    std::mt19937 random(work.seed);
    HRESULT hr = S_OK;
    ComPtr<IDispatch> plugin = CreatePlugin(&hr);
    if (!plugin) Fail(work);
    for (long round = 0; plugin && round < work.rounds; ++round) {
        if (FAILED(CallConfigure(plugin.Get()))) Fail(work);
        if (FAILED(random() % 2 ? CallInitialize(plugin.Get()) : CallParseCommand(plugin.Get()))) Fail(work);
        PumpMessages(random() % 5);
        if (!CloseByUser(PluginWindows(true))) Fail(work);
    }
    plugin.Reset();
    CoUninitialize();
    return 0;
}

struct ThreadHandle {
    HANDLE handle = nullptr;
    ~ThreadHandle()
    {
        if (handle) CloseHandle(handle);
    }
};

HANDLE Start(unsigned(__stdcall* body)(void*), void* parameter)
{
    return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, body, parameter, 0, nullptr));
}

// Runs `width` apartments for `rounds` rounds each; false when one hung.
bool RunApartments(long width, long rounds, unsigned seed, long& failures)
{
    std::vector<std::unique_ptr<ThreadWork>> work;
    std::vector<ThreadHandle> threads(width);
    for (long i = 0; i < width; ++i) {
        work.push_back(std::make_unique<ThreadWork>());
        work.back()->seed = seed + static_cast<unsigned>(i);
        work.back()->rounds = rounds;
        threads[i].handle = Start(ApartmentThread, work.back().get());
        if (!threads[i].handle) ++failures;
    }
    bool allEnded = true;
    for (ThreadHandle& thread : threads) {
        if (thread.handle && !WaitPumping(thread.handle, 600000)) allEnded = false;
    }
    for (const auto& w : work) failures += w->failures;
    return allEnded;
}

// A caller in the multithreaded apartment: every call crosses to the apartment of the object.
struct CallerWork {
    IDispatch* plugin = nullptr;
    unsigned seed = 0;
    long calls = 0;
    volatile LONG failures = 0;
};

unsigned __stdcall CallerThread(void* parameter)
{
    auto& work = *static_cast<CallerWork*>(parameter);
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        InterlockedIncrement(&work.failures);
        return 1;
    }
    std::mt19937 random(work.seed);
    for (long call = 0; call < work.calls; ++call) {
        HRESULT hr = S_OK;
        switch (random() % 4) {
        case 0: hr = CallGetPublishInfo(work.plugin); break;
        case 1: hr = CallConfigure(work.plugin); break;
        case 2: hr = CallParseCommand(work.plugin); break;
        default: hr = CallInitialize(work.plugin); break;
        }
        if (FAILED(hr)) InterlockedIncrement(&work.failures);
        if (random() % 3 == 0) {
            // The windows live in the object's apartment, which pumps them; this thread only posts.
            for (HWND window : PluginWindows(false)) PostMessageW(window, WM_CLOSE, 0, 0);
        }
    }
    CoUninitialize();
    return 0;
}

}  // namespace

// Threads themselves cost the process something the first times (the platform keeps per-thread
// state of ended threads for reuse), so the growth is measured between two later batches of
// apartments, each like the one before.
int Apartments(const ScenarioArgs& args)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return Verdict(false, "CoInitializeEx");
    const long threadsAtStart = CountThreads();
    long failures = 0;
    bool ended = RunApartments(args.width, args.count, args.seed, failures);  // warm-up
    ended = ended && RunApartments(args.width, args.count, args.seed + 1000, failures);
    const ResourceCounts afterWarmUp = CountWhenSettled(threadsAtStart);
    ended = ended && RunApartments(args.width, args.count, args.seed + 2000, failures);
    const ResourceCounts atEnd = CountWhenSettled(threadsAtStart);
    Say("figure 3 batches of %ld apartments x %ld rounds, failed calls or closes %ld, all threads ended %s",
        args.width, args.count, failures, ended ? "yes" : "no");
    SayGrowth("apartments growth over the last batch", afterWarmUp, atEnd);
    CoUninitialize();
    if (!ended) return Verdict(false, "an apartment hung");
    return Verdict(failures == 0, "a call or a close failed in an apartment");
}

int MultithreadedCallers(const ScenarioArgs& args)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return Verdict(false, "CoInitializeEx");
    HRESULT hr = S_OK;
    ComPtr<IDispatch> plugin = CreatePlugin(&hr);  // made in the host's apartment; this is a proxy
    if (!plugin) {
        Say("figure CoCreateInstance from the multithreaded apartment: 0x%08lx", hr);
        CoUninitialize();
        return Verdict(false, "the plug-in cannot be created from the multithreaded apartment");
    }
    std::vector<CallerWork> work(args.width);
    std::vector<ThreadHandle> threads(args.width);
    for (long i = 0; i < args.width; ++i) {
        work[i].plugin = plugin.Get();
        work[i].seed = args.seed + static_cast<unsigned>(i);
        work[i].calls = args.count;
        threads[i].handle = Start(CallerThread, &work[i]);
    }
    bool ended = true;
    long failures = 0;
    for (long i = 0; i < args.width; ++i) {
        if (!threads[i].handle || WaitForSingleObject(threads[i].handle, 600000) != WAIT_OBJECT_0) ended = false;
        failures += work[i].failures;
    }
    for (HWND window : PluginWindows(false)) PostMessageW(window, WM_CLOSE, 0, 0);
    for (int wait = 0; wait < 500 && !PluginWindows(false).empty(); ++wait) Sleep(10);
    const bool closed = PluginWindows(false).empty();
    plugin.Reset();
    Say("figure %ld callers x %ld calls through the marshaler, failed calls %ld, windows closed %s", args.width,
        args.count, failures, closed ? "yes" : "no");
    CoUninitialize();
    if (!ended) return Verdict(false, "a caller hung");
    return Verdict(failures == 0 && closed, "a marshaled call failed or a window stayed open");
}

namespace {

struct EndingThread {
    bool uninitialize = false;
    HRESULT shown = S_OK;
    std::string why;
};

unsigned __stdcall EndWithWindowsOpen(void* parameter)
{
    auto& work = *static_cast<EndingThread*>(parameter);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    HRESULT hr = S_OK;
    ComPtr<IDispatch> plugin = CreatePlugin(&hr);
    if (plugin) {
        work.shown = CallInitialize(plugin.Get());
        if (SUCCEEDED(work.shown)) work.shown = CallConfigure(plugin.Get());
        if (FAILED(work.shown)) work.why = LastExceptionText();
        PumpMessages(50);
    } else {
        work.shown = hr;
    }
    plugin.Reset();
    if (work.uninitialize) CoUninitialize();
    return 0;  // both windows are still open
}

}  // namespace

int ThreadEndsWithWindowsOpen(const ScenarioArgs& args, bool uninitialize)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return Verdict(false, "CoInitializeEx");
    long badShows = 0, hung = 0, windowsLeft = 0;
    for (long i = 0; i < args.count; ++i) {
        EndingThread work{uninitialize};
        ThreadHandle thread{Start(EndWithWindowsOpen, &work)};
        if (!thread.handle || !WaitPumping(thread.handle, 30000)) {
            ++hung;
            break;
        }
        if (FAILED(work.shown)) {
            ++badShows;
            Say("fault thread %ld could not show the windows: 0x%08lx %s", i + 1, work.shown, work.why.c_str());
        }
        PumpMessages(20);
        windowsLeft += static_cast<long>(PluginWindows(false).size());
    }
    const bool unloaded = FreePluginAndWait();
    // The plug-in must still serve this apartment after the others went away.
    HRESULT hr = S_OK;
    ComPtr<IDispatch> plugin = CreatePlugin(&hr);
    const bool serves = plugin && SUCCEEDED(CallConfigure(plugin.Get())) && CloseByUser(PluginWindows(true));
    plugin.Reset();
    Say("figure %ld threads ended with both windows open (%s CoUninitialize): failed shows %ld, windows left "
        "behind %ld, module unloaded afterwards %s, later use works %s",
        args.count, uninitialize ? "with" : "without", badShows, windowsLeft, unloaded ? "yes" : "no",
        serves ? "yes" : "no");
    CoUninitialize();
    if (hung) return Verdict(false, "a thread that ended with windows open hung");
    // A thread that ended without leaving COM leaves its browser objects behind, and code of ours may
    // still be reached through them: there the module rightly stays loaded for good.
    const bool unloadedAsItShould = unloaded || !uninitialize;
    return Verdict(badShows == 0 && windowsLeft == 0 && unloadedAsItShould && serves,
                   "windows outlived their thread, the module stayed loaded, or the plug-in stopped working");
}

}  // namespace quillpost::stress
