#include "viewer/browser_site.h"

#include <utility>

namespace quillpost {

BrowserSite::BrowserSite(HWND container, const RECT& position, Microsoft::WRL::ComPtr<IOleInPlaceFrame> frame)
    : container_(container), position_(position), frame_(std::move(frame))
{
}

HRESULT BrowserSite::Create(HWND container, const RECT& position, Microsoft::WRL::ComPtr<IOleInPlaceFrame> frame,
                            Microsoft::WRL::ComPtr<BrowserSite>* out)
{
    return MakeComObject(*out, container, position, std::move(frame));
}

std::span<const InterfaceRow> BrowserSite::Interfaces()
{
    static constexpr InterfaceRow kRows[] = {
        Row<BrowserSite, IOleClientSite>(IID_IOleClientSite),
        Row<BrowserSite, IOleInPlaceSite>(IID_IOleWindow),
        Row<BrowserSite, IOleInPlaceSite>(IID_IOleInPlaceSite),
    };
    return kRows;
}

STDMETHODIMP BrowserSite::GetMoniker(DWORD, DWORD, IMoniker** out)
{
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP BrowserSite::GetContainer(IOleContainer** out)
{
    if (out) *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP BrowserSite::GetWindow(HWND* out)
{
    if (!out) return E_POINTER;
    *out = container_;
    return S_OK;
}

STDMETHODIMP BrowserSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                           RECT* position, RECT* clip, OLEINPLACEFRAMEINFO* frameInfo)
{
    // Every output the caller passed is cleared first, so a failure leaves nothing behind.
    if (frame) *frame = nullptr;
    if (document) *document = nullptr;
    if (position) *position = {};
    if (clip) *clip = {};
    if (!frame || !document || !position || !clip || !frameInfo) return E_POINTER;
    frame_.CopyTo(frame);
    *document = nullptr;  // no document window of our own: the frame serves
    *position = position_;
    *clip = position_;
    frameInfo->cb = sizeof(*frameInfo);
    frameInfo->fMDIApp = FALSE;
    frameInfo->hwndFrame = GetAncestor(container_, GA_ROOT);
    frameInfo->haccel = nullptr;
    frameInfo->cAccelEntries = 0;
    return S_OK;
}

}  // namespace quillpost
