// The container side of the embedded browser: the client site and in-place site that an
// OLE control needs before it will activate in our window and load pages, the document host
// that keeps the control's own protections, tells the page it is DPI-aware, withholds the
// browser's shortcuts that open something outside the viewer and keeps its script errors out of
// the host's sight, the new-window manager that lets only a user's own windows out, and the
// service provider through which the control finds the viewer's security manager and that manager.
#pragma once

#include <windows.h>
#include <docobj.h>
#include <mshtmhst.h>
#include <ole2.h>
#include <servprov.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <span>

#include "core/com_object.h"
#include "viewer/page_security.h"

namespace quillpost {

// Lent to the control, which may call it after the window has gone: it keeps the module.
class BrowserSite final : public ComObject<BrowserSite, LentKeep, IOleClientSite, IOleInPlaceSite,
                                           IDocHostUIHandler, IOleCommandTarget, IServiceProvider,
                                           INewWindowManager> {
public:
    // `container` is the window the control lives in; `position` its rectangle there; `frame` the
    // frame the control is told of.
    static HRESULT Create(HWND container, const RECT& position, Microsoft::WRL::ComPtr<IOleInPlaceFrame> frame,
                          Microsoft::WRL::ComPtr<BrowserSite>* out);
    // Ambient properties, UI handler and the rest are optional: the control's defaults suit us.
    static std::span<const InterfaceRow> Interfaces();

    BrowserSite(HWND container, const RECT& position, Microsoft::WRL::ComPtr<IOleInPlaceFrame> frame);

    void SetPosition(const RECT& position) { position_ = position; }

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

    // IDocHostUIHandler: the control's own behaviour, but for the DPI it renders at and its shortcuts.
    STDMETHODIMP ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override { return S_FALSE; }
    STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override;
    STDMETHODIMP ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                        IOleInPlaceUIWindow*) override { return S_FALSE; }
    STDMETHODIMP HideUI() override { return S_OK; }
    STDMETHODIMP UpdateUI() override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    // The engine asks first for every key: a shortcut of browser_shortcuts.h that is withheld is
    // answered as handled (S_OK), so the engine does not act on it.
    STDMETHODIMP TranslateAccelerator(LPMSG message, const GUID*, DWORD) override;
    STDMETHODIMP GetOptionKeyPath(LPOLESTR* key, DWORD) override;
    STDMETHODIMP GetDropTarget(IDropTarget*, IDropTarget** out) override;
    STDMETHODIMP GetExternal(IDispatch** out) override;
    STDMETHODIMP TranslateUrl(DWORD, LPWSTR, LPWSTR* out) override;
    STDMETHODIMP FilterDataObject(IDataObject*, IDataObject** out) override;

    // IOleCommandTarget: a script error on a page goes on silently, as in a browser's silent
    // mode, instead of a message box in the user's messenger.
    STDMETHODIMP QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*) override { return OLECMDERR_E_UNKNOWNGROUP; }
    STDMETHODIMP Exec(const GUID* group, DWORD command, DWORD, VARIANT*, VARIANT* out) override;

    // IServiceProvider: the viewer's security manager (SID_SInternetSecurityManager), a part of
    // the site, and the site's new-window manager (SID_SNewWindowManager); no other service, so
    // the control uses its own.
    STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override;

    // INewWindowManager: asked before every new window, HTML dialogs (showModalDialog,
    // showModelessDialog) and help windows (showHelp) among them. S_OK lets the first window of a
    // user's click or key go on to NewWindow3, which sends it to the user's browser; S_FALSE
    // refuses every other (IsUsersFirstWindow).
    STDMETHODIMP EvaluateNewWindow(LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, BOOL, DWORD flags, DWORD) override;

private:
    ~BrowserSite() override = default;

    HWND container_;
    RECT position_;
    Microsoft::WRL::ComPtr<IOleInPlaceFrame> frame_;
    PageSecurity security_{static_cast<IOleClientSite*>(this)};
};

}  // namespace quillpost
