// The page at its window's DPI. The engine counts a page's pixels in 96ths of an inch (the document
// host says it is DPI-aware) and draws them at its zoom, which by itself follows the system's DPI
// as the thread sees it: 96 in a DPI-unaware host, whatever the monitor. So the viewer sets the
// zoom to its window's DPI, once the document is there to take it and after every change of DPI.
//
// The zoom is the viewer's alone: it is set "not to be kept" (OLECMDIDF_OPTICAL_ZOOM_NOPERSIST),
// or the engine would store it as the zoom of the user's later browser windows. And the user's own
// zoom (Ctrl+wheel, Ctrl+plus) is kept across a change of DPI: read from the page just before,
// taken relative to what the viewer set last, and applied on top of the new DPI's zoom.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace quillpost {

// The zoom, in percent, that draws a 96-dpi page at `dpi`: 150 at 144 dpi, 200 at 192.
constexpr int ZoomForDpi(int dpi) { return (dpi * 100 + 48) / 96; }

// Zooms the page `browser` (the control, or its IWebBrowser2) shows, without reloading it and
// without the engine storing the zoom. Fails while it shows no document.
HRESULT ZoomPage(IUnknown* browser, int percent);

// The zoom, in percent, of the page `browser` shows now; *percent is 0 on failure.
HRESULT PageZoomNow(IUnknown* browser, int* percent);

class PageZoom {
public:
    explicit PageZoom(int dpi) : dpi_(dpi) {}

    // Zooms the page that is shown now to the window's DPI, with the user's own zoom on top.
    void Apply(IUnknown* browser);
    // The window is now at `dpi`. `browser` shows a document and is zoomed at once, the user's
    // own zoom kept; nullptr when it shows none yet (it takes the zoom when complete).
    void ChangeDpi(IUnknown* browser, int dpi);

private:
    int dpi_;
    int userPermille_ = 1000;  // the user's own zoom on top of the DPI's, in thousandths
    int lastSet_ = 0;          // the zoom the page was given last; 0 before the first
};

}  // namespace quillpost
