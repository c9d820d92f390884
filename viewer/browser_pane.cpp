#include "viewer/browser_pane.h"

#include <exdisp.h>

#include "base/raii.h"

namespace quillpost {
namespace {

// Navigate's member identifier in the control's automation interface.
constexpr DISPID kNavigateDispId = 104;

HRESULT StartFresh(IOleObject* control)
{
    Microsoft::WRL::ComPtr<IPersistStreamInit> persist;
    if (HRESULT hr = control->QueryInterface(IID_PPV_ARGS(&persist)); FAILED(hr)) return hr;
    return persist->InitNew();
}

}  // namespace

HRESULT BrowserPane::Open(HWND container, const RECT& position, HWND* window)
{
    *window = nullptr;
    Close();
    HRESULT hr = Activate(container, position, window);
    if (FAILED(hr)) {
        *window = nullptr;
        Close();
    }
    return hr;
}

HRESULT BrowserPane::Activate(HWND container, const RECT& position, HWND* window)
{
    if (HRESULT hr = BrowserSite::Create(container, position, &site_); FAILED(hr)) return hr;
    HRESULT hr = CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&control_));
    if (FAILED(hr)) return hr;
    // Without a client site the control accepts Navigate but requests nothing.
    if (hr = control_->SetClientSite(site_.Get()); FAILED(hr)) return hr;
    if (hr = StartFresh(control_.Get()); FAILED(hr)) return hr;
    RECT area = position;
    if (hr = control_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.Get(), 0, container, &area); FAILED(hr))
        return hr;
    Microsoft::WRL::ComPtr<IOleInPlaceObject> inPlace;
    if (hr = control_.As(&inPlace); FAILED(hr)) return hr;
    return inPlace->GetWindow(window);
}

HRESULT BrowserPane::Navigate(std::wstring_view address)
{
    if (!control_) return E_UNEXPECTED;
    Microsoft::WRL::ComPtr<IDispatch> automation;
    if (HRESULT hr = control_.As(&automation); FAILED(hr)) return hr;
    UniqueVariant argument;
    UniqueBstr text;
    if (!UniqueBstr::Copy(address, text)) return E_OUTOFMEMORY;
    V_VT(&argument) = VT_BSTR;
    V_BSTR(&argument) = text.Release();
    DISPPARAMS parameters{&argument, nullptr, 1, 0};
    return automation->Invoke(kNavigateDispId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters,
                              nullptr, nullptr, nullptr);
}

void BrowserPane::Close()
{
    if (control_) {
        Microsoft::WRL::ComPtr<IOleInPlaceObject> inPlace;
        if (SUCCEEDED(control_.As(&inPlace))) inPlace->InPlaceDeactivate();
        control_->Close(OLECLOSE_NOSAVE);
        control_->SetClientSite(nullptr);
        control_.Reset();
    }
    site_.Reset();
}

}  // namespace quillpost
