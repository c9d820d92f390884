#include "viewer/page_zoom.h"

#include <exdisp.h>
#include <wrl/client.h>

namespace quillpost {

HRESULT ZoomPage(IUnknown* browser, int percent)
{
    if (!browser) return E_POINTER;
    Microsoft::WRL::ComPtr<IWebBrowser2> page;
    if (HRESULT hr = browser->QueryInterface(IID_PPV_ARGS(&page)); FAILED(hr)) return hr;
    VARIANT zoom;
    V_VT(&zoom) = VT_I4;
    V_I4(&zoom) = percent;
    return page->ExecWB(OLECMDID_OPTICAL_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, &zoom, nullptr);
}

}  // namespace quillpost
