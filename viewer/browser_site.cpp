#include "viewer/browser_site.h"

#include <new>
#include <utility>

#include "base/module.h"
#include "viewer/browser_frame.h"

namespace quillpost {

// The control may keep us after the window has gone; our code must stay loaded until then.
BrowserSite::BrowserSite(HWND container, const RECT& position, Microsoft::WRL::ComPtr<IOleInPlaceFrame> frame)
    : container_(container), position_(position), frame_(std::move(frame))
{
    LockModule();
}

BrowserSite::~BrowserSite() { UnlockModule(); }

HRESULT BrowserSite::Create(HWND container, const RECT& position, Microsoft::WRL::ComPtr<BrowserSite>* out)
{
    Microsoft::WRL::ComPtr<IOleInPlaceFrame> frame;
    if (HRESULT hr = BrowserFrame::Create(GetAncestor(container, GA_ROOT), &frame); FAILED(hr)) return hr;
    auto* site = new (std::nothrow) BrowserSite(container, position, std::move(frame));
    if (!site) return E_OUTOFMEMORY;
    *out->ReleaseAndGetAddressOf() = site;  // adopts our one reference
    return S_OK;
}

STDMETHODIMP BrowserSite::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
        *out = static_cast<IOleClientSite*>(this);
    } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
        *out = static_cast<IOleInPlaceSite*>(this);
    } else {
        // Ambient properties, UI handler and the rest are optional: the control's defaults suit us.
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) BrowserSite::AddRef() { return InterlockedIncrement(&references_); }

STDMETHODIMP_(ULONG) BrowserSite::Release()
{
    const ULONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
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
