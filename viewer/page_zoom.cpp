#include "viewer/page_zoom.h"

#include <exdisp.h>
#include <wrl/client.h>

#include <algorithm>

namespace quillpost {
namespace {

// The range the engine takes for OLECMDID_OPTICAL_ZOOM, in percent.
constexpr int kLeastZoom = 10, kMostZoom = 1000;

VARIANT Number(LONG value)
{
    VARIANT variant;
    V_VT(&variant) = VT_I4;
    V_I4(&variant) = value;
    return variant;
}

}  // namespace

HRESULT ZoomPage(IUnknown* browser, int percent)
{
    if (!browser) return E_POINTER;
    Microsoft::WRL::ComPtr<IWebBrowser2> page;
    if (HRESULT hr = browser->QueryInterface(IID_PPV_ARGS(&page)); FAILED(hr)) return hr;
    VARIANT zoom = Number(percent);
    // The command's flags travel in its second argument, which the engine may overwrite.
    VARIANT flags = Number(OLECMDIDF_OPTICAL_ZOOM_NOPERSIST);
    return page->ExecWB(OLECMDID_OPTICAL_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, &zoom, &flags);
}

HRESULT PageZoomNow(IUnknown* browser, int* percent)
{
    *percent = 0;
    if (!browser) return E_POINTER;
    Microsoft::WRL::ComPtr<IWebBrowser2> page;
    if (HRESULT hr = browser->QueryInterface(IID_PPV_ARGS(&page)); FAILED(hr)) return hr;
    VARIANT zoom;
    VariantInit(&zoom);
    // Without a value to set, the command answers the zoom in force.
    if (HRESULT hr = page->ExecWB(OLECMDID_OPTICAL_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, nullptr, &zoom); FAILED(hr))
        return hr;
    if (V_VT(&zoom) != VT_I4 || V_I4(&zoom) < kLeastZoom || V_I4(&zoom) > kMostZoom) return E_UNEXPECTED;
    *percent = V_I4(&zoom);
    return S_OK;
}

void PageZoom::Apply(IUnknown* browser)
{
    const int zoom = std::clamp(MulDiv(ZoomForDpi(dpi_), userPermille_, 1000), kLeastZoom, kMostZoom);
    // A page that refuses it stays at the engine's own zoom, and the user's share is unknown.
    lastSet_ = SUCCEEDED(ZoomPage(browser, zoom)) ? zoom : 0;
}

void PageZoom::ChangeDpi(IUnknown* browser, int dpi)
{
    dpi_ = dpi;
    if (!browser) return;
    // What the user changed since the last zoom the viewer set is the user's own zoom.
    int now = 0;
    if (lastSet_ != 0 && SUCCEEDED(PageZoomNow(browser, &now)) && now != lastSet_)
        userPermille_ = MulDiv(userPermille_, now, lastSet_);
    Apply(browser);
}

}  // namespace quillpost
