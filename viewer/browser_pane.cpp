#include "viewer/browser_pane.h"

#include <exdisp.h>

#include "core/raii.h"

namespace quillpost {
namespace {

HRESULT StartFresh(IOleObject* control)
{
    Microsoft::WRL::ComPtr<IPersistStreamInit> persist;
    if (HRESULT hr = control->QueryInterface(IID_PPV_ARGS(&persist)); FAILED(hr)) return hr;
    return persist->InitNew();
}

}  // namespace

HRESULT BrowserPane::Open(HWND container, const RECT& position, int dpi, HWND* window)
{
    *window = nullptr;
    Close();
    HRESULT hr = Activate(container, position, dpi, window);
    if (FAILED(hr)) {
        *window = nullptr;
        Close();
    }
    return hr;
}

HRESULT BrowserPane::Activate(HWND container, const RECT& position, int dpi, HWND* window)
{
    container_ = container;
    position_ = position;
    if (HRESULT hr = BrowserFrame::Create(GetAncestor(container, GA_ROOT), &frame_); FAILED(hr)) return hr;
    if (HRESULT hr = BrowserSite::Create(container, position, frame_, &site_); FAILED(hr)) return hr;
    HRESULT hr = CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&control_));
    if (FAILED(hr)) return hr;
    // Without a client site the control accepts Navigate but requests nothing.
    if (hr = control_->SetClientSite(site_.Get()); FAILED(hr)) return hr;
    // Before any page is asked for, so the first navigation is already seen.
    Microsoft::WRL::ComPtr<IUnknown> identity;
    if (hr = control_.As(&identity); FAILED(hr)) return hr;
    if (hr = BrowserEvents::Create(identity.Get(), dpi, GetAncestor(container, GA_ROOT), &events_);
        FAILED(hr))
        return hr;
    if (hr = eventConnection_.Connect(control_.Get(), DIID_DWebBrowserEvents2, events_.Get()); FAILED(hr)) return hr;
    if (hr = StartFresh(control_.Get()); FAILED(hr)) return hr;
    RECT area = position;
    if (hr = control_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.Get(), 0, container, &area); FAILED(hr))
        return hr;
    Microsoft::WRL::ComPtr<IOleInPlaceObject> inPlace;
    if (hr = control_.As(&inPlace); FAILED(hr)) return hr;
    if (hr = inPlace->GetWindow(window); FAILED(hr)) return hr;
    window_ = *window;
    return S_OK;
}

void BrowserPane::Move(const RECT& position)
{
    if (!control_) return;
    site_->SetPosition(position);  // what the control asks for when it lays itself out again
    Microsoft::WRL::ComPtr<IOleInPlaceObject> inPlace;
    if (SUCCEEDED(control_.As(&inPlace))) inPlace->SetObjectRects(&position, &position);
}

void BrowserPane::SetDpi(int dpi)
{
    if (events_) events_->SetDpi(control_.Get(), dpi);
}

HRESULT BrowserPane::Navigate(std::wstring_view address)
{
    if (!control_) return E_UNEXPECTED;
    // The automation interface's Navigate member, called through its vtable: a call by
    // dispatch identifier would first load the control's type library to find it.
    Microsoft::WRL::ComPtr<IWebBrowser2> browser;
    if (HRESULT hr = control_.As(&browser); FAILED(hr)) return hr;
    UniqueBstr text;
    if (!UniqueBstr::Copy(address, text)) return E_OUTOFMEMORY;
    // What dispatch passes for an optional argument the caller leaves out.
    VARIANT omitted;
    V_VT(&omitted) = VT_ERROR;
    V_ERROR(&omitted) = DISP_E_PARAMNOTFOUND;
    return browser->Navigate(text.Get(), &omitted, &omitted, &omitted, &omitted);
}

void BrowserPane::Focus()
{
    if (!control_) return;
    // The verb that gives an object in place the focus (and makes its active object known). A
    // control already in place may only show itself for it, as Wine's does: then its window is
    // given the focus.
    RECT area = position_;
    control_->DoVerb(OLEIVERB_UIACTIVATE, nullptr, site_.Get(), 0, container_, &area);
    const HWND focus = GetFocus();
    if (window_ && focus != window_ && !IsChild(window_, focus)) SetFocus(window_);
}

bool BrowserPane::TranslateAccelerator(MSG& message)
{
    // Keys typed anywhere else on the thread are not the page's.
    if (!frame_ || !window_ || (message.hwnd != window_ && !IsChild(window_, message.hwnd))) return false;
    // Held for the call: the control may close the pane inside it.
    Microsoft::WRL::ComPtr<IOleInPlaceActiveObject> page = frame_->ActiveObject();
    return page && page->TranslateAccelerator(&message) == S_OK;
}

void BrowserPane::Close()
{
    window_ = nullptr;
    eventConnection_.Disconnect();
    events_.Reset();
    if (control_) {
        Microsoft::WRL::ComPtr<IOleInPlaceObject> inPlace;
        if (SUCCEEDED(control_.As(&inPlace))) inPlace->InPlaceDeactivate();
        control_->Close(OLECLOSE_NOSAVE);
        control_->SetClientSite(nullptr);
        control_.Reset();
    }
    if (frame_) frame_->SetActiveObject(nullptr, nullptr);  // a control that never said so itself
    frame_.Reset();
    site_.Reset();
}

}  // namespace quillpost
