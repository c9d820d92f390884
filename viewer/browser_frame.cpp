#include "viewer/browser_frame.h"

namespace quillpost {

HRESULT BrowserFrame::Create(HWND topLevel, Microsoft::WRL::ComPtr<BrowserFrame>* out)
{
    return MakeComObject(*out, topLevel);
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
