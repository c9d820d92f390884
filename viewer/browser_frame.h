// The frame that an in-place active control talks to. The viewer has no menus, toolbars or
// status bar, so it offers the control no space and ignores its requests; it keeps the object
// that the control makes active, which the viewer's keys go to first.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <wrl/client.h>

#include <span>

#include "core/com_object.h"

namespace quillpost {

// Lent to the control, which may call it after the window has gone: it keeps the module.
class BrowserFrame final : public ComObject<BrowserFrame, LentKeep, IOleInPlaceFrame> {
public:
    static HRESULT Create(HWND topLevel, Microsoft::WRL::ComPtr<BrowserFrame>* out);
    static std::span<const InterfaceRow> Interfaces();

    explicit BrowserFrame(HWND topLevel) : topLevel_(topLevel) {}

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* out) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceUIWindow
    STDMETHODIMP GetBorder(RECT*) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(const BORDERWIDTHS*) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(const BORDERWIDTHS*) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, const OLECHAR*) override
    {
        active_ = object;
        return S_OK;
    }

    // IOleInPlaceFrame
    STDMETHODIMP InsertMenus(HMENU, OLEMENUGROUPWIDTHS*) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(const OLECHAR*) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(MSG*, WORD) override { return S_FALSE; }

    // The control's active object, or none; the control's reference on the frame and the frame's
    // on it make a cycle, which the pane breaks when it closes the control.
    Microsoft::WRL::ComPtr<IOleInPlaceActiveObject> ActiveObject() const { return active_; }

private:
    ~BrowserFrame() override = default;

    HWND topLevel_;
    Microsoft::WRL::ComPtr<IOleInPlaceActiveObject> active_;
};

}  // namespace quillpost
