#include "viewer/browser_frame.h"

#include <utility>

namespace quillpost {

HRESULT BrowserFrame::Create(HWND topLevel, Microsoft::WRL::ComPtr<IOleInPlaceFrame>* out)
{
    Microsoft::WRL::ComPtr<BrowserFrame> frame;
    if (HRESULT hr = MakeComObject(frame, topLevel); FAILED(hr)) return hr;
    *out = std::move(frame);
    return S_OK;
}

std::span<const InterfaceRow> BrowserFrame::Interfaces()
{
    static constexpr InterfaceRow kRows[] = {
        Row<BrowserFrame, IOleInPlaceFrame>(IID_IOleInPlaceFrame),
        Row<BrowserFrame, IOleInPlaceFrame>(IID_IOleWindow),
        Row<BrowserFrame, IOleInPlaceFrame>(IID_IOleInPlaceUIWindow),
    };
    return kRows;
}

STDMETHODIMP BrowserFrame::GetWindow(HWND* out)
{
    if (!out) return E_POINTER;
    *out = topLevel_;
    return S_OK;
}

}  // namespace quillpost
