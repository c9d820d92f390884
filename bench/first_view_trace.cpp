#include "bench/first_view_trace.h"

#include "bench/probe.h"

namespace bench {
namespace {

FirstViewTrace* g_trace = nullptr;
HHOOK g_hooks[3] = {};

bool HasClass(HWND window, const wchar_t* name)
{
    wchar_t className[64] = {};
    GetClassNameW(window, className, ARRAYSIZE(className));
    return lstrcmpiW(className, name) == 0;
}

// The walk's own time is kept apart, so that it does not count as the plug-in's.
long long TakeMemory(long long* ticksSpent)
{
    const long long before = Ticks();
    const long long bytes = CommittedPrivateBytes();
    *ticksSpent += Ticks() - before;
    return bytes;
}

LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        auto window = reinterpret_cast<HWND>(wParam);
        const HWND parent = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs->hwndParent;
        if (!g_trace->viewerCreated && HasClass(window, L"QuillpostViewer")) {
            g_trace->viewerCreated = Ticks();
            g_trace->viewer = window;
        } else if (!g_trace->heading && g_trace->picture && parent == g_trace->picture &&
                   HasClass(window, L"Static")) {
            g_trace->headingCreated = Ticks();
            g_trace->heading = window;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void BeforeMessage(const CWPSTRUCT& message)
{
    FirstViewTrace& trace = *g_trace;
    if (message.message == WM_NCCREATE && !trace.picture && HasClass(message.hwnd, L"QuillpostPicture")) {
        trace.picture = message.hwnd;
        trace.memoryBeforeSkin = TakeMemory(&trace.walkBeforeSkin);
        trace.skinStarted = Ticks();
    } else if (message.message == WM_CREATE && message.hwnd == trace.picture && !trace.skinDone) {
        trace.skinDone = Ticks();
        trace.memoryAfterSkin = TakeMemory(&trace.walkAfterSkin);
    } else if (message.message == WM_SETTEXT && message.hwnd == trace.heading) {
        (trace.shown ? trace.emailHeadingSet : trace.loadHeadingSet) = Ticks();
    } else if (message.message == WM_SHOWWINDOW && message.hwnd == trace.viewer && message.wParam && !trace.shown) {
        trace.shown = Ticks();
    }
}

LRESULT CALLBACK OnCallWindowProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) BeforeMessage(*reinterpret_cast<CWPSTRUCT*>(lParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK OnCallWindowProcReturn(int code, WPARAM wParam, LPARAM lParam)
{
    const auto& message = *reinterpret_cast<CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && message.message == WM_SETTEXT && message.hwnd == g_trace->heading &&
        !g_trace->shown)
        g_trace->loadHeadingDone = Ticks();
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

bool StartTrace(FirstViewTrace* trace)
{
    g_trace = trace;
    const DWORD thread = GetCurrentThreadId();
    g_hooks[0] = SetWindowsHookExW(WH_CBT, OnCbt, nullptr, thread);
    g_hooks[1] = SetWindowsHookExW(WH_CALLWNDPROC, OnCallWindowProc, nullptr, thread);
    g_hooks[2] = SetWindowsHookExW(WH_CALLWNDPROCRET, OnCallWindowProcReturn, nullptr, thread);
    return g_hooks[0] && g_hooks[1] && g_hooks[2];
}

void StopTrace()
{
    for (HHOOK& hook : g_hooks) {
        if (hook) UnhookWindowsHookEx(hook);
        hook = nullptr;
    }
}

}  // namespace bench
