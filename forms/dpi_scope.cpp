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
    set_ = User32<SetContext>("SetThreadDpiAwarenessContext");
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

void AdjustFrameForDpi(RECT* client, DWORD style, int dpi)
{
    static const auto adjustForDpi = User32<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    if (!adjustForDpi || !adjustForDpi(client, style, FALSE, 0, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(client, style, FALSE, 0);
}

}  // namespace quillpost
