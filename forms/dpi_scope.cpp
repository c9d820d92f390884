#include "forms/dpi_scope.h"

#include <initializer_list>

namespace quillpost {
namespace {

template <typename Function>
Function User32(const char* name)
{
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

using SetContext = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
using ContextOfWindow = DPI_AWARENESS_CONTEXT(WINAPI*)(HWND);

SetContext ThreadContextSetter()
{
    static const auto set = User32<SetContext>("SetThreadDpiAwarenessContext");
    return set;
}

DPI_AWARENESS_CONTEXT WindowContext(HWND window)
{
    static const auto ofWindow = User32<ContextOfWindow>("GetWindowDpiAwarenessContext");
    return ofWindow && window ? ofWindow(window) : nullptr;
}

int ScreenDpi()
{
    const HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

}  // namespace

DpiAwareScope::DpiAwareScope()
{
    set_ = ThreadContextSetter();
    if (!set_) return;
    for (DPI_AWARENESS_CONTEXT wanted : {DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2,
                                         DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE, DPI_AWARENESS_CONTEXT_SYSTEM_AWARE}) {
        if ((previous_ = set_(wanted))) return;
    }
}

DpiAwareScope::~DpiAwareScope()
{
    if (set_ && previous_) set_(previous_);
}

WindowDpiScope::WindowDpiScope(HWND window) : window_(window)
{
    const DPI_AWARENESS_CONTEXT wanted = WindowContext(window);
    if (wanted) previous_ = ThreadContextSetter()(wanted);
}

WindowDpiScope::~WindowDpiScope()
{
    if (previous_) ThreadContextSetter()(previous_);
}

int DpiOfWindow(HWND window)
{
    static const auto forWindow = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    const UINT dpi = forWindow ? forWindow(window) : 0;
    return dpi ? static_cast<int>(dpi) : ScreenDpi();
}

int DpiForNewWindow()
{
    static const auto forSystem = User32<UINT(WINAPI*)()>("GetDpiForSystem");
    const UINT dpi = forSystem ? forSystem() : 0;
    return dpi ? static_cast<int>(dpi) : ScreenDpi();
}

void AdjustFrameForDpi(RECT* client, DWORD style, int dpi, DWORD exStyle)
{
    static const auto adjustForDpi = User32<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    if (!adjustForDpi || !adjustForDpi(client, style, FALSE, exStyle, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(client, style, FALSE, exStyle);
}

SIZE WindowSizeForClient(HWND window, SIZE client, int dpi)
{
    RECT frame{0, 0, client.cx, client.cy};
    AdjustFrameForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), dpi,
                      static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
    return {frame.right - frame.left, frame.bottom - frame.top};
}

void ScaleFrameWithDpi(HWND window)
{
    using ContextsEqual = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT, DPI_AWARENESS_CONTEXT);
    static const auto equal = User32<ContextsEqual>("AreDpiAwarenessContextsEqual");
    static const auto enable = User32<BOOL(WINAPI*)(HWND)>("EnableNonClientDpiScaling");
    const DPI_AWARENESS_CONTEXT context = WindowContext(window);
    if (context && equal && enable && equal(context, DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE)) enable(window);
}

}  // namespace quillpost
