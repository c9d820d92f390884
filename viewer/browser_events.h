// What the viewer does with the browser control's events (DWebBrowserEvents2), so that nothing a
// page asks for leaves the pane except through the user's own browser:
//  - a new window (NewWindow3, or NewWindow2 where the control has no NewWindow3) is cancelled;
//    its address, when it is http: or https: and the window is the first of a user's click or key
//    (new_window_policy.h), opens in the user's browser, once;
//  - a download (FileDownload of anything but a document to show) is cancelled, and the address
//    of the navigation that led to it opens in the user's browser, which saves the file;
//  - the user's browser starts only while the page's StartBudget lasts, new windows and downloads
//    alike;
//  - a navigation of the pane (BeforeNavigate2) to anything IsShownInViewer refuses is cancelled,
//    but for the control's own error page right after a failed navigation (NavigateError);
//  - the pane's own document complete (DocumentComplete of the control, not of a frame) is zoomed
//    to the window's DPI (page_zoom.h).
// Every other event, and links followed in the same window, go on as the control does them.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <span>
#include <string_view>

#include "core/com_object.h"
#include "forms/window_entry.h"
#include "shell/web_address.h"
#include "viewer/new_window_policy.h"
#include "viewer/page_zoom.h"

namespace quillpost {

// Lent to the control while the viewer is loaded: it keeps the module.
class BrowserEvents final : public ComObject<BrowserEvents, LentKeep, IDispatch> {
public:
    // `browser` is the control whose events these are; it is only compared, never called or held.
    // Run in the DPI context of `viewer`, the window the page is shown in, which is at `dpi`.
    static HRESULT Create(IUnknown* browser, int dpi, HWND viewer, Microsoft::WRL::ComPtr<BrowserEvents>* out);
    // IDispatch, and the event interface itself, which the control may ask for first.
    static std::span<const InterfaceRow> Interfaces();

    BrowserEvents(IUnknown* browser, int dpi, HWND viewer) : browser_(browser), zoom_(dpi), viewer_(viewer) {}

    // The viewer's window is now at `dpi`: the page `control` shows is zoomed to it at once, with
    // the user's own zoom kept, once the control's own document has been complete (before, it
    // would drop the zoom); the next complete document takes it in any case.
    void SetDpi(IUnknown* control, int dpi) { zoom_.ChangeDpi(documentReady_ ? control : nullptr, dpi); }

    // IDispatch: events are told by identifier alone; there is no type information.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT*) override;

private:
    ~BrowserEvents() override = default;

    void OnBeforeNavigate(const DISPPARAMS* params);
    void OnNewWindow(const DISPPARAMS* params, bool third);
    void OnFileDownload(const DISPPARAMS* params);
    void OnNavigateError(const DISPPARAMS* params);
    void OpenForPage(std::wstring_view address);
    void OnDocumentComplete(const DISPPARAMS* params);

    const IUnknown* browser_;  // the control's identity
    PageZoom zoom_;
    bool documentReady_ = false;
    // The control has just reported a failed navigation: the next one may be to its error page.
    bool errorPageDue_ = false;
    StartBudget starts_;

    // The address of the last navigation the pane let through (FileDownload carries none); empty
    // when it was refused or too long, or its download has been sent on.
    WebAddressText lastNavigation_;
    EntryWindow viewer_;
};

}  // namespace quillpost
