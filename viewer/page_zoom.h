// The page at its window's DPI. The engine counts a page's pixels in 96ths of an inch (the document
// host says it is DPI-aware) and draws them at its zoom, which by itself follows the system's DPI
// as the thread sees it: 96 in a DPI-unaware host, whatever the monitor. So the viewer sets the
// zoom to its window's DPI, once the document is there to take it and after every change of DPI.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace quillpost {

// The zoom, in percent, that draws a 96-dpi page at `dpi`: 150 at 144 dpi, 200 at 192.
constexpr int ZoomForDpi(int dpi) { return (dpi * 100 + 48) / 96; }

// Zooms the page `browser` (the control, or its IWebBrowser2) shows, without reloading it. Fails
// while it shows no document.
HRESULT ZoomPage(IUnknown* browser, int percent);

}  // namespace quillpost
