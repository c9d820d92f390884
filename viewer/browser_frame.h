// The frame that an in-place active control talks to. The viewer has no menus, toolbars or
// status bar, so it offers the control no space and ignores its requests.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <wrl/client.h>

#include <span>

#include "base/com_object.h"

namespace quillpost {

// Lent to the control, which may call it after the window has gone: it keeps the module.
class BrowserFrame final : public ComObject<BrowserFrame, ModuleKeep, IOleInPlaceFrame> {
public:
    static HRESULT Create(HWND topLevel, Microsoft::WRL::ComPtr<IOleInPlaceFrame>* out);
    static std::span<const InterfaceRow> Interfaces();

    explicit BrowserFrame(HWND topLevel) : topLevel_(topLevel) {}

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* out) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceUIWindow
    STDMETHODIMP GetBorder(RECT*) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(const BORDERWIDTHS*) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(const BORDERWIDTHS*) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, const OLECHAR*) override { return S_OK; }

    // IOleInPlaceFrame
    STDMETHODIMP InsertMenus(HMENU, OLEMENUGROUPWIDTHS*) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(const OLECHAR*) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(MSG*, WORD) override { return S_FALSE; }

private:
    ~BrowserFrame() override = default;

    HWND topLevel_;
};

}  // namespace quillpost
