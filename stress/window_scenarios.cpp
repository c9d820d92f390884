// Open and close cycles of both windows, as a host calls and a user closes them, and the same
// cycles of a minimal WebBrowser host beside them: what the platform's own control keeps.
#include <exdisp.h>

#include <algorithm>

#include "plugin_driver.h"
#include "scenario.h"

namespace quillpost::stress {
namespace {

constexpr wchar_t kForumPage[] = L"http://forum.tallowchat.example/latest.php";

long WarmUpCycles(long count) { return std::clamp(count / 10, 20L, 200L); }

struct CycleTally {
    long failedCalls = 0;
    long noWindow = 0;
    long stuckOpen = 0;
};

void SayTally(const CycleTally& tally, long cycles)
{
    Say("figure cycles %ld, failed calls %ld, cycles without a window %ld, windows that would not close %ld", cycles,
        tally.failedCalls, tally.noWindow, tally.stuckOpen);
}

// Runs `cycle` through the warm-up and then args.count times, and reports the tally and, under
// `growthName`, what the process keeps after the warm-up.
template <typename Cycle>
CycleTally RunCycles(const ScenarioArgs& args, const char* growthName, Cycle cycle)
{
    std::mt19937 random(args.seed);
    const long warmUp = WarmUpCycles(args.count);
    ResourceCounts afterWarmUp;
    CycleTally tally;
    for (long round = 0; round < args.count + warmUp; ++round) {
        if (round == warmUp) afterWarmUp = CountResources();
        cycle(random, tally);
    }
    const ResourceCounts atEnd = CountWhenSettled(afterWarmUp.threads);
    SayTally(tally, args.count);
    SayGrowth(growthName, afterWarmUp, atEnd);
    return tally;
}

int WindowCycles(const ScenarioArgs& args, bool viewer)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return Verdict(false, "CoInitializeEx");
    HRESULT hr = S_OK;
    ComPtr<IDispatch> plugin = CreatePlugin(&hr);
    if (!plugin) return Verdict(false, "the plug-in cannot be created");
    IDispatch* p = plugin.Get();
    const char* growthName = viewer ? "viewer growth after warm-up" : "about growth after warm-up";
    const CycleTally tally = RunCycles(args, growthName, [&](std::mt19937& random, CycleTally& counts) {
        const HRESULT shown = viewer ? (random() % 2 ? CallInitialize(p) : CallParseCommand(p)) : CallConfigure(p);
        if (FAILED(shown)) ++counts.failedCalls;
        if (random() % 4 == 0) {  // showing a loaded window again only brings it forward
            if (FAILED(viewer ? CallParseCommand(p) : CallConfigure(p))) ++counts.failedCalls;
        }
        PumpMessages(random() % 3);
        const std::vector<HWND> windows = PluginWindows(true);
        if (windows.empty()) ++counts.noWindow;
        if (!CloseByUser(windows)) ++counts.stuckOpen;
    });
    plugin.Reset();
    CoUninitialize();
    return Verdict(tally.failedCalls == 0 && tally.noWindow == 0 && tally.stuckOpen == 0,
                   "a call failed, showed nothing or left a window that would not close");
}

// A borderless top-level window the size of the viewer with the platform's own control host
// (ATL's AtlAxWin) as its child, holding the WebBrowser control, asked for the same page.
HWND OpenMinimalBrowser()
{
    static HMODULE atl = LoadLibraryW(L"atl.dll");
    using InitFunction = BOOL(WINAPI*)();
    using GetControlFunction = HRESULT(WINAPI*)(HWND, IUnknown**);
    static auto init = reinterpret_cast<InitFunction>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
    static auto getControl = reinterpret_cast<GetControlFunction>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
    static const bool ready = init && getControl && init();
    if (!ready) return nullptr;
    HWND frame = CreateWindowExW(WS_EX_APPWINDOW, L"STATIC", L"Baseline", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                                 0, 575, 512, nullptr, nullptr, nullptr, nullptr);
    if (!frame) return nullptr;
    HWND host = CreateWindowExW(0, L"AtlAxWin", L"{8856F961-340A-11D0-A96B-00C04FD705A2}",
                                WS_CHILD | WS_VISIBLE, 8, 40, 559, 464, frame, nullptr, nullptr, nullptr);
    ComPtr<IUnknown> control;
    ComPtr<IWebBrowser2> browser;
    if (host && SUCCEEDED(getControl(host, &control)) && SUCCEEDED(control.As(&browser))) {
        BSTR address = SysAllocString(kForumPage);
        VARIANT empty;
        VariantInit(&empty);
        browser->Navigate(address, &empty, &empty, &empty, &empty);
        SysFreeString(address);
    }
    return frame;
}

}  // namespace

int ViewerCycles(const ScenarioArgs& args) { return WindowCycles(args, true); }
int AboutCycles(const ScenarioArgs& args) { return WindowCycles(args, false); }

int BrowserBaseline(const ScenarioArgs& args)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return Verdict(false, "CoInitializeEx");
    const CycleTally tally =
        RunCycles(args, "platform browser growth after warm-up", [](std::mt19937& random, CycleTally& counts) {
            HWND window = OpenMinimalBrowser();
            if (!window) {
                ++counts.noWindow;
                return;
            }
            PumpMessages(random() % 3);
            if (!CloseByUser({window})) ++counts.stuckOpen;
        });
    CoUninitialize();
    return Verdict(tally.noWindow == 0 && tally.stuckOpen == 0, "the minimal browser host did not open or close");
}

}  // namespace quillpost::stress
