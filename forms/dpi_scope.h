// The forms are DPI-aware whatever the host is: they are created inside this scope, which makes
// the calling thread per-monitor aware (version 2 where the system offers it, then version 1,
// then system-aware) and restores its earlier context at the end. Only this thread's context
// changes, and only for the scope: the host's own awareness is never touched, and its code (and
// the forms' load steps) runs in its own context.
//
// Also the one place that asks the system for DPIs, through functions that older systems lack.
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

// The DPI a window is shown at; the system's DPI where the system knows no DPI per window.
int DpiOfWindow(HWND window);
// The DPI a window made now in this thread's context would start at, before it exists.
int DpiForNewWindow();
// Frame rectangle around `client` for a window of `style` at `dpi`.
void AdjustFrameForDpi(RECT* client, DWORD style, int dpi);

}  // namespace quillpost
