#include "viewer/browser_frame.h"

#include <new>

#include "base/module.h"

namespace quillpost {

// The control may keep us after the window has gone; our code must stay loaded until then.
BrowserFrame::BrowserFrame(HWND topLevel) : topLevel_(topLevel) { LockModule(); }
BrowserFrame::~BrowserFrame() { UnlockModule(); }

HRESULT BrowserFrame::Create(HWND topLevel, Microsoft::WRL::ComPtr<IOleInPlaceFrame>* out)
{
    auto* frame = new (std::nothrow) BrowserFrame(topLevel);
    if (!frame) return E_OUTOFMEMORY;
    *out->ReleaseAndGetAddressOf() = frame;  // adopts our one reference
    return S_OK;
}

STDMETHODIMP BrowserFrame::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IOleWindow || iid == IID_IOleInPlaceUIWindow ||
        iid == IID_IOleInPlaceFrame) {
        *out = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) BrowserFrame::AddRef() { return InterlockedIncrement(&references_); }

STDMETHODIMP_(ULONG) BrowserFrame::Release()
{
    const ULONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP BrowserFrame::GetWindow(HWND* out)
{
    if (!out) return E_POINTER;
    *out = topLevel_;
    return S_OK;
}

}  // namespace quillpost
