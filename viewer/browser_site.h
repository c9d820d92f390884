// The container side of the embedded browser: the client site and in-place site that an
// OLE control needs before it will activate in our window and load pages.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <wrl/client.h>

#include <span>

#include "base/com_object.h"

namespace quillpost {

// Lent to the control, which may call it after the window has gone: it keeps the module.
class BrowserSite final : public ComObject<BrowserSite, ModuleKeep, IOleClientSite, IOleInPlaceSite> {
public:
    // `container` is the window the control lives in; `position` its rectangle there; `frame` the
    // frame the control is told of.
    static HRESULT Create(HWND container, const RECT& position, Microsoft::WRL::ComPtr<IOleInPlaceFrame> frame,
                          Microsoft::WRL::ComPtr<BrowserSite>* out);
    // Ambient properties, UI handler and the rest are optional: the control's defaults suit us.
    static std::span<const InterfaceRow> Interfaces();

    BrowserSite(HWND container, const RECT& position, Microsoft::WRL::ComPtr<IOleInPlaceFrame> frame);

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override;
    STDMETHODIMP GetContainer(IOleContainer** out) override;
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* out) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position,
                                  RECT* clip, OLEINPLACEFRAMEINFO* frameInfo) override;
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(const RECT*) override { return S_OK; }

private:
    ~BrowserSite() override = default;

    HWND container_;
    RECT position_;
    Microsoft::WRL::ComPtr<IOleInPlaceFrame> frame_;
};

}  // namespace quillpost
