// The slow-system family: one call that the lifetime core or the window core makes out of the
// image at the edge of a hold or a give-back (slow_calls.h) returns late, from 20 ms to a bound the
// run sets (200 ms in the full run), while the host drives the plug-in through what crosses those
// edges: its windows closed by the user and ended with their thread's COM, where only the windows'
// loader references keep the module (a host that loaded it itself, and COM letting go of it as
// Windows' CoUninitialize does), and where COM holds it (unload cycles, a thread that ends its
// COM). No thread may return into an unmapped image, and the module must go each time nothing
// keeps it.
#include <algorithm>
#include <optional>
#include <random>

#include "plugin_driver.h"
#include "scenario.h"
#include "slow_calls.h"
#include "slow_system_host.h"

namespace quillpost::stress {
namespace {

void SayFired(const char* function) { Say("fired %s 1", function); }

// One run's rounds, each with the call slow in the module as the round loaded it.
class SlowRounds {
public:
    SlowRounds(const SlowCallRow& row, unsigned seed, DWORD longestDelay)
        : row_(row), random_(seed), delays_(20, std::max<DWORD>(20, longestDelay))
    {
    }

    // Makes the call slow in the module now loaded, on this thread (which has COM).
    bool Arm()
    {
        const HMODULE module = GetModuleHandleW(kPluginModule);
        if (!module) return false;
        NoteImage(module);
        delay_ = delays_(random_);
        patch_.emplace(module, row_.call, delay_, &SayFired);
        if (!patch_->Ready()) refused_ = true;
        return !refused_;
    }
    // The round's end: the module is gone once nothing keeps it, and the delays are counted.
    void End(const char* kind, bool opened, bool shouldGo)
    {
        const bool gone = !shouldGo || WaitUntilModuleIsGone(10000);
        const long fired = patch_ ? patch_->Fired() : 0;
        patch_.reset();
        fired_ += fired;
        ++rounds_;
        if (!opened) ++failedOpens_;
        if (!gone) ++stayedLoaded_;
        if (!opened || !gone)
            Say("fault round %ld (%s, %lu ms): windows opened %s, module gone %s", rounds_, kind, delay_,
                opened ? "yes" : "no", gone ? "yes" : "no");
    }
    unsigned Next() { return random_(); }
    int Report() const;

private:
    const SlowCallRow& row_;
    std::mt19937 random_;
    std::uniform_int_distribution<DWORD> delays_;
    std::optional<SlowCallPatch> patch_;
    DWORD delay_ = 0;
    long rounds_ = 0, fired_ = 0, failedOpens_ = 0, stayedLoaded_ = 0;
    bool refused_ = false;
};

int SlowRounds::Report() const
{
    if (refused_) {
        Say("fault injection refused: %ls does not call %s where it is looked for", kPluginModule, row_.function);
        return Verdict(false, "a call named for the slow system is not made by the module");
    }
    const long faults = FaultsInTheImage();
    Say("figure %ld rounds with %s late: its delay fired %ld times, failed opens %ld, rounds the module stayed "
        "loaded %ld, faults in the module's image %ld",
        rounds_, row_.function, fired_, failedOpens_, stayedLoaded_, faults);
    if (faults) return Verdict(false, "a thread ran code of the module's image after it was unmapped");
    return Verdict(failedOpens_ == 0 && stayedLoaded_ == 0, "a window did not open or the module stayed loaded");
}

// The host loaded the module itself: once its own reference is back, only the windows' loader
// references keep the module, as after COM let go of it. The user closes both windows.
void ClosedByTheUser(SlowRounds& rounds)
{
    HostsOwnLoad load;
    bool opened = load.Loaded() && rounds.Arm() && OpenBoth(load.Create().Get());
    load.Release();
    opened = CloseByUser(PluginWindows(true)) && opened;
    rounds.End("closed by the user", opened, true);
}

// A thread loads the module (through COM, which then holds it, or as a host loads it itself),
// waits until the call is slow in it, opens both windows and lets go of its own reference; then it
// ends, with its COM or without. True when both windows opened and the thread ended.
bool OpenOnAThreadThatEnds(SlowRounds& rounds, bool throughCom, bool endsItsCom)
{
    Event loaded, armed;
    bool opened = false;
    Thread thread([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        std::optional<HostsOwnLoad> ownLoad;
        HRESULT hr = S_OK;
        ComPtr<IDispatch> plugin;
        if (throughCom)
            plugin = CreatePlugin(&hr);
        else if (ownLoad.emplace(); ownLoad->Loaded())
            plugin = ownLoad->Create();
        loaded.Set();
        armed.WaitPumping();
        opened = plugin && OpenBoth(plugin.Get());
        plugin.Reset();
        ownLoad.reset();
        if (endsItsCom) CoUninitialize();
    });
    loaded.WaitPumping();
    rounds.Arm();
    armed.Set();
    return thread.WaitPumping() && opened;
}

// A thread of such a host ends its COM, and so its windows, then ends itself: its thread-detach
// work runs while a pool callback looks at it.
void EndedWithTheirThread(SlowRounds& rounds)
{
    rounds.End("ended with their thread", OpenOnAThreadThatEnds(rounds, false, true), true);
}

// COM loads the module and holds it: windows closed, then the host's unload query.
void UnloadCycle(SlowRounds& rounds)
{
    HRESULT hr = S_OK;
    ComPtr<IDispatch> plugin = CreatePlugin(&hr);
    bool opened = plugin && rounds.Arm() && OpenBoth(plugin.Get());
    opened = CloseByUser(PluginWindows(true)) && opened;
    plugin.Reset();
    FreePluginAndWait();
    rounds.End("unload cycle", opened, true);
}

// A thread that COM loaded the module for ends its COM with both windows open, as a host's
// thread does on its way out; COM frees the module.
void ComEndedWithWindowsOpen(SlowRounds& rounds)
{
    rounds.End("thread ended its COM", OpenOnAThreadThatEnds(rounds, true, true), true);
}

// COM loads the module and lets go of it as Windows' CoUninitialize does (it asks, is told "no",
// and frees it all the same) while windows live on this thread and on another; then that thread
// ends its COM and itself, and the user closes this thread's. COM's record of the module outlives
// it (no later round goes through COM), so the thread that stands for COM's apartment never ends.
void ComLetGoWhileWindowsLive(SlowRounds& rounds)
{
    Event loaded, bothOpen, letGo, thereOpen;
    Thread com([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        HRESULT hr = S_OK;
        ComPtr<IDispatch> plugin = CreatePlugin(&hr);
        const HMODULE module = GetModuleHandleW(kPluginModule);
        plugin.Reset();
        loaded.Set();
        bothOpen.WaitPumping();
        CoFreeUnusedLibrariesEx(0, 0);
        if (module) FreeLibrary(module);
        letGo.Set();
        Sleep(INFINITE);
    });
    loaded.WaitPumping();
    const bool armed = rounds.Arm();
    bool openedThere = false;
    Thread windows([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        HostsOwnLoad load;
        openedThere = load.Loaded() && OpenBoth(load.Create().Get());
        load.Release();
        thereOpen.Set();
        letGo.WaitPumping();
        CoUninitialize();
    });
    HostsOwnLoad load;
    bool opened = armed && OpenBoth(load.Create().Get());
    load.Release();
    thereOpen.WaitPumping();
    bothOpen.Set();
    letGo.WaitPumping();
    opened = CloseByUser(PluginWindows(true)) && opened;
    const bool ended = windows.WaitPumping();
    rounds.End("after COM let go", opened && openedThere && ended, true);
}

// A thread ends with both windows open and its COM never ended: the windows' references stay
// with the loader for good, so the module stays, and their end must reach no unmapped code.
void EndedWithoutEndingCom(SlowRounds& rounds)
{
    const bool ended = OpenOnAThreadThatEnds(rounds, false, false);
    PumpMessages(100);
    rounds.End("ended without ending COM", ended, false);
}

using Round = void (*)(SlowRounds&);
constexpr Round kRounds[] = {ClosedByTheUser, EndedWithTheirThread, UnloadCycle, ComEndedWithWindowsOpen};

}  // namespace

// Rounds of every kind, first in order, then in a seeded order; then COM lets go of the module
// while windows live on two threads; then a thread ends without ending its COM, which leaves its
// windows' references to the loader's keeping for good, and so comes last.
int SlowSystem(const ScenarioArgs& args, const SlowCallRow& row)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return Verdict(false, "CoInitializeEx");
    const ImageFaultCount faults;
    SlowRounds rounds(row, args.seed, static_cast<DWORD>(args.width));
    for (long round = 0; round < args.count; ++round) {
        const std::size_t kind = round < std::ssize(kRounds) ? round : rounds.Next() % std::size(kRounds);
        kRounds[kind](rounds);
    }
    ComLetGoWhileWindowsLive(rounds);
    EndedWithoutEndingCom(rounds);
    return rounds.Report();
}

}  // namespace quillpost::stress
