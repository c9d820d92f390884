// The forms are DPI-aware whatever the host is: they are created inside this scope, which makes
// the calling thread per-monitor aware (version 2 where the system offers it, then version 1,
// then system-aware) and restores its earlier context at the end. Only this thread's context
// changes, and only for the scope: the host's own awareness is never touched, and its code (and
// the forms' load steps) runs in its own context.
//
// Also the one place that asks the system for DPIs and DPI contexts, through functions that older
// systems lack (Windows before 10 1607 has no thread context: every scope then changes nothing).
#pragma once

#include <windows.h>

namespace quillpost {

class DpiAwareScope {
public:
    DpiAwareScope();
    DpiAwareScope(const DpiAwareScope&) = delete;
    DpiAwareScope& operator=(const DpiAwareScope&) = delete;
    ~DpiAwareScope();

private:
    using SetContext = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
    SetContext set_ = nullptr;  // absent before Windows 10 1607: windows are then system-aware or not at all
    DPI_AWARENESS_CONTEXT previous_ = nullptr;
};

// The calling thread in `window`'s DPI context for the scope, as the system puts it for the window's
// own procedure. For calls into a window's code that arrive otherwise (a screen reader's, through
// COM's window, a message hook, an event of the browser): in another context the system answers
// sizes and positions scaled for that context. No window: nothing changes.
class WindowDpiScope {
public:
    explicit WindowDpiScope(HWND window);
    WindowDpiScope(const WindowDpiScope&) = delete;
    WindowDpiScope& operator=(const WindowDpiScope&) = delete;
    ~WindowDpiScope();

    HWND Window() const { return window_; }

private:
    HWND window_;
    DPI_AWARENESS_CONTEXT previous_ = nullptr;
};

// WM_GETDPISCALEDSIZE, which headers for Windows 7 leave out: sent to a per-monitor window of the
// second version before WM_DPICHANGED, for the size it wants at the new DPI (Windows 10 1703 on).
inline constexpr UINT kGetDpiScaledSize = 0x02E4;

// The DPI a window is shown at; the system's DPI where the system knows no DPI per window.
int DpiOfWindow(HWND window);
// The DPI a window made now in this thread's context would start at, before it exists.
int DpiForNewWindow();
// Frame rectangle around `client` for a window of `style` and `exStyle` at `dpi`.
void AdjustFrameForDpi(RECT* client, DWORD style, int dpi, DWORD exStyle = 0);
// The size of `window` whose client area is `client` at `dpi`, with the window's own frame.
SIZE WindowSizeForClient(HWND window, SIZE client, int dpi);
// In WM_NCCREATE: a per-monitor window of the first version scales its caption, borders and system
// menu with its DPI only when it asks (the second version always does; Windows 10 1607 has only
// the first).
void ScaleFrameWithDpi(HWND window);

}  // namespace quillpost
