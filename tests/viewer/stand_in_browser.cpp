#include "viewer/stand_in_browser.h"

#include <exdisp.h>
#include <exdispid.h>
#include <mshtmhst.h>
#include <ocidl.h>
#include <olectl.h>

namespace quillpost::testing {

StandInSeen g_standIn;

namespace {

constexpr wchar_t kStandInClass[] = L"QuillpostStandInBrowser";

// The calling thread's DPI awareness, through functions that Windows 7's headers leave out.
int ThreadAwareness()
{
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    const auto context = reinterpret_cast<DPI_AWARENESS_CONTEXT(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
    const auto awareness = reinterpret_cast<int(WINAPI*)(DPI_AWARENESS_CONTEXT)>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
    return context && awareness ? awareness(context()) : -1;
}

LRESULT CALLBACK StandInWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN) ++g_standIn.keysAtWindow;
    return DefWindowProcW(window, message, wParam, lParam);
}

// IWebBrowser2's slots as far as ExecWB. The viewer calls only Navigate and ExecWB; the others
// hold their places and are never called.
#define QUILLPOST_SLOT(name) virtual HRESULT STDMETHODCALLTYPE name() { return E_NOTIMPL; }
#define QUILLPOST_SLOTS10(n) QUILLPOST_SLOT(n##0) QUILLPOST_SLOT(n##1) QUILLPOST_SLOT(n##2) QUILLPOST_SLOT(n##3) \
    QUILLPOST_SLOT(n##4) QUILLPOST_SLOT(n##5) QUILLPOST_SLOT(n##6) QUILLPOST_SLOT(n##7) QUILLPOST_SLOT(n##8) QUILLPOST_SLOT(n##9)
struct NavigateAndZoom : IDispatch {
    QUILLPOST_SLOT(GoBack) QUILLPOST_SLOT(GoForward) QUILLPOST_SLOT(GoHome) QUILLPOST_SLOT(GoSearch)
    virtual HRESULT STDMETHODCALLTYPE Navigate(BSTR, VARIANT*, VARIANT*, VARIANT*, VARIANT*) = 0;
    // IWebBrowser's 20 after Navigate, IWebBrowserApp's 20, IWebBrowser2's Navigate2 and QueryStatusWB.
    QUILLPOST_SLOTS10(A) QUILLPOST_SLOTS10(B) QUILLPOST_SLOTS10(C) QUILLPOST_SLOTS10(D)
    QUILLPOST_SLOT(E0) QUILLPOST_SLOT(E1)
    virtual HRESULT STDMETHODCALLTYPE ExecWB(OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*) = 0;
};

// The control's connection point for its events, with room for one sink, which is asked for the
// event interface as the control asks.
class EventPoint final : public IConnectionPoint {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        *out = iid == IID_IUnknown || iid == IID_IConnectionPoint ? this : nullptr;
        return *out ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        if (--references_ == 0) return delete this, 0;
        return references_;
    }
    STDMETHODIMP GetConnectionInterface(IID* iid) override { return *iid = DIID_DWebBrowserEvents2, S_OK; }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer**) override { return E_NOTIMPL; }
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override
    {
        void** events = reinterpret_cast<void**>(sink_.GetAddressOf());
        if (sink_ || FAILED(sink->QueryInterface(DIID_DWebBrowserEvents2, events))) return CONNECT_E_CANNOTCONNECT;
        ++g_standIn.sinks;
        *cookie = 1;
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) override
    {
        if (cookie != 1 || !sink_) return CONNECT_E_NOCONNECTION;
        return sink_.Reset(), --g_standIn.sinks, S_OK;
    }
    STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    bool Fire(DISPID member, VARIANT* arguments, UINT count)
    {
        Microsoft::WRL::ComPtr<IDispatch> sink = sink_;  // held for the call, as the control holds it
        DISPPARAMS params{arguments, nullptr, count, 0};
        return sink && SUCCEEDED(sink->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                                              nullptr, nullptr));
    }

private:
    ~EventPoint() = default;
    ULONG references_ = 1;
    Microsoft::WRL::ComPtr<IDispatch> sink_;
};

class StandInBrowser final : public IOleObject,
                             public IOleInPlaceObject,
                             public IOleInPlaceActiveObject,
                             public IPersistStreamInit,
                             public IConnectionPointContainer,
                             public NavigateAndZoom {
public:
    StandInBrowser()
    {
        ++g_standIn.alive;
        *events_.ReleaseAndGetAddressOf() = new EventPoint;  // adopts its first reference
    }
    ~StandInBrowser()
    {
        --g_standIn.alive;
        if (g_inPlace == this) g_inPlace = nullptr;
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IOleObject) *out = static_cast<IOleObject*>(this);
        if (iid == IID_IOleInPlaceObject || iid == IID_IOleWindow) *out = static_cast<IOleInPlaceObject*>(this);
        if (iid == IID_IOleInPlaceActiveObject) *out = static_cast<IOleInPlaceActiveObject*>(this);
        if (iid == IID_IPersistStreamInit) *out = static_cast<IPersistStreamInit*>(this);
        if (iid == IID_IWebBrowser2 || iid == IID_IDispatch) *out = static_cast<NavigateAndZoom*>(this);
        if (iid == IID_IConnectionPointContainer) *out = static_cast<IConnectionPointContainer*>(this);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // IOleObject: a client site; in place, a window of its own; UI-active, the frame told of its
    // active object (and never told otherwise: the container must let go of it) and the focus.
    STDMETHODIMP SetClientSite(IOleClientSite* site) override
    {
        site_ = site;
        g_inPlace = site ? this : nullptr;
        return S_OK;
    }
    STDMETHODIMP DoVerb(LONG verb, MSG*, IOleClientSite*, LONG, HWND parent, const RECT*) override
    {
        if (!window_) {
            if (FAILED(site_.As(&inPlace_)) || FAILED(inPlace_->OnInPlaceActivate())) return E_FAIL;
            Microsoft::WRL::ComPtr<IOleInPlaceUIWindow> document;
            RECT position{}, clip{};
            OLEINPLACEFRAMEINFO info{sizeof(info)};
            inPlace_->GetWindowContext(&frame_, &document, &position, &clip, &info);
            g_standIn.window = window_ = CreateWindowExW(0, kStandInClass, nullptr, WS_CHILD | WS_VISIBLE, position.left,
                                                      position.top, position.right - position.left,
                                                      position.bottom - position.top, parent, nullptr, nullptr, nullptr);
        }
        if (verb == OLEIVERB_UIACTIVATE && frame_) {
            inPlace_->OnUIActivate();
            frame_->SetActiveObject(this, L"page");
            SetFocus(window_);
        }
        return S_OK;
    }
    STDMETHODIMP Close(DWORD) override { return InPlaceDeactivate(); }
    STDMETHODIMP GetClientSite(IOleClientSite**) override { return E_NOTIMPL; }
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    STDMETHODIMP EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
    STDMETHODIMP SetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    STDMETHODIMP GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    STDMETHODIMP Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP Unadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    STDMETHODIMP GetMiscStatus(DWORD, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleWindow, IOleInPlaceObject
    STDMETHODIMP GetWindow(HWND* out) override
    {
        *out = window_;
        return window_ ? S_OK : E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() override
    {
        if (window_) DestroyWindow(window_);
        window_ = nullptr;
        if (inPlace_) inPlace_->OnInPlaceDeactivate();
        inPlace_.Reset();
        frame_.Reset();
        return S_OK;
    }
    STDMETHODIMP UIDeactivate() override { return S_OK; }
    STDMETHODIMP SetObjectRects(const RECT*, const RECT*) override { return S_OK; }
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }

    // IOleInPlaceActiveObject: as the engine does, the host's document handler answers first, and
    // a key it answers is not acted on. The page uses Tab and Ctrl+C; any other key goes on to
    // its window.
    STDMETHODIMP TranslateAccelerator(MSG* message) override
    {
        g_standIn.keyAwareness = ThreadAwareness();
        if (message->message != WM_KEYDOWN && message->message != WM_SYSKEYDOWN) return S_FALSE;
        Microsoft::WRL::ComPtr<IDocHostUIHandler> host;
        if (SUCCEEDED(site_.As(&host)) && host->TranslateAccelerator(message, nullptr, 0) == S_OK) return S_OK;
        g_standIn.engineKeys.push_back(message->wParam);
        if (message->message != WM_KEYDOWN) return S_FALSE;
        if (message->wParam == VK_TAB) return ++g_standIn.tabs, S_OK;
        if (message->wParam == 'C' && GetKeyState(VK_CONTROL) < 0) return ++g_standIn.copies, S_OK;
        return S_FALSE;
    }
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

    // IPersistStreamInit
    STDMETHODIMP GetClassID(CLSID*) override { return E_NOTIMPL; }
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(IStream*) override { return E_NOTIMPL; }
    STDMETHODIMP Save(IStream*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP InitNew() override { return S_OK; }

    // IDispatch and IWebBrowser2's slots the viewer calls
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP Navigate(BSTR, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override
    {
        g_standIn.navigatedAwareness = ThreadAwareness();
        return ++g_standIn.navigations, S_OK;
    }
    // The optical zoom: set with a value in (its flags in the second argument), answered without.
    STDMETHODIMP ExecWB(OLECMDID command, OLECMDEXECOPT, VARIANT* in, VARIANT* out) override
    {
        if (command != OLECMDID_OPTICAL_ZOOM) return OLECMDERR_E_NOTSUPPORTED;
        if (!in && out) return V_VT(out) = VT_I4, V_I4(out) = g_standIn.zoomNow, S_OK;
        if (!in || V_VT(in) != VT_I4) return E_INVALIDARG;
        g_standIn.zoomFlags.push_back(out && V_VT(out) == VT_I4 ? V_I4(out) : -1);
        g_standIn.zoomNow = V_I4(in);
        return g_standIn.zooms.push_back(V_I4(in)), S_OK;
    }

    // IConnectionPointContainer: the connection point of DWebBrowserEvents2.
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override
    {
        if (iid != DIID_DWebBrowserEvents2) return *out = nullptr, CONNECT_E_NOCONNECTION;
        return events_.CopyTo(out);
    }

    static StandInBrowser* g_inPlace;
    Microsoft::WRL::ComPtr<EventPoint> events_;
    Microsoft::WRL::ComPtr<IOleClientSite> site_;

private:
    ULONG references_ = 1;
    Microsoft::WRL::ComPtr<IOleInPlaceSite> inPlace_;
    Microsoft::WRL::ComPtr<IOleInPlaceFrame> frame_;
    HWND window_ = nullptr;
};

class StandInFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        *out = iid == IID_IUnknown || iid == IID_IClassFactory ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives as long as the test
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown*, REFIID iid, void** out) override
    {
        auto* browser = new StandInBrowser;
        const HRESULT hr = browser->QueryInterface(iid, out);
        browser->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

StandInBrowser* StandInBrowser::g_inPlace = nullptr;
StandInFactory g_factory;

}  // namespace

void StandInRegistration::Revoke()
{
    if (cookie_) CoRevokeClassObject(cookie_);
    cookie_ = 0;
}

HRESULT StandInRegistration::Register()
{
    WNDCLASSW standIn{0, StandInWindow, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr,
                      kStandInClass};
    RegisterClassW(&standIn);  // or registered by an earlier test
    return CoRegisterClassObject(CLSID_WebBrowser, &g_factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
}

bool FireEvent(DISPID member, VARIANT* arguments, UINT count)
{
    return StandInBrowser::g_inPlace && StandInBrowser::g_inPlace->events_->Fire(member, arguments, count);
}

bool FireDocumentComplete()
{
    StandInBrowser* browser = StandInBrowser::g_inPlace;
    if (!browser) return false;
    VARIANT address{}, arguments[2]{};  // last first: the address, then the browser whose document it is
    V_VT(&address) = VT_BSTR;
    V_VT(&arguments[0]) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(&arguments[0]) = &address;
    V_VT(&arguments[1]) = VT_DISPATCH;
    V_DISPATCH(&arguments[1]) = static_cast<NavigateAndZoom*>(browser);
    return browser->events_->Fire(DISPID_DOCUMENTCOMPLETE, arguments, 2);
}

Microsoft::WRL::ComPtr<IOleClientSite> StandInSite()
{
    return StandInBrowser::g_inPlace ? StandInBrowser::g_inPlace->site_ : nullptr;
}

}  // namespace quillpost::testing
