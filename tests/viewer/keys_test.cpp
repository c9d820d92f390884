// The page's keys: while the browser pane has the focus, a key goes first to the control's active
// object, once, and nothing of the hook that passes it is left when the viewer has closed and the
// module has unloaded. Wine's browser never makes an object active, so a stand-in registered for
// the browser's class takes its place: it does what a control does when it is put in place and
// given the focus, and counts the keys offered to it.
#include <exdisp.h>
#include <gtest/gtest.h>
#include <wrl/client.h>

#include "support/platform.h"
#include "support/windows.h"
#include "viewer/viewer_test.h"

namespace quillpost::testing {
namespace {

struct Seen {
    int navigations = 0, tabs = 0, copies = 0, keysAtWindow = 0, alive = 0;
    HWND window = nullptr;
} g_seen;

constexpr wchar_t kStandInClass[] = L"QuillpostStandInBrowser";

LRESULT CALLBACK StandInWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN) ++g_seen.keysAtWindow;
    return DefWindowProcW(window, message, wParam, lParam);
}

// IWebBrowser2's first slots, as far as Navigate: the viewer calls nothing else of it.
struct NavigateOnly : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE GoBack() = 0;
    virtual HRESULT STDMETHODCALLTYPE GoForward() = 0;
    virtual HRESULT STDMETHODCALLTYPE GoHome() = 0;
    virtual HRESULT STDMETHODCALLTYPE GoSearch() = 0;
    virtual HRESULT STDMETHODCALLTYPE Navigate(BSTR, VARIANT*, VARIANT*, VARIANT*, VARIANT*) = 0;
};

class StandInBrowser final : public IOleObject,
                             public IOleInPlaceObject,
                             public IOleInPlaceActiveObject,
                             public IPersistStreamInit,
                             public NavigateOnly {
public:
    StandInBrowser() { ++g_seen.alive; }
    ~StandInBrowser() { --g_seen.alive; }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IOleObject) *out = static_cast<IOleObject*>(this);
        if (iid == IID_IOleInPlaceObject || iid == IID_IOleWindow) *out = static_cast<IOleInPlaceObject*>(this);
        if (iid == IID_IOleInPlaceActiveObject) *out = static_cast<IOleInPlaceActiveObject*>(this);
        if (iid == IID_IPersistStreamInit) *out = static_cast<IPersistStreamInit*>(this);
        if (iid == IID_IWebBrowser2) *out = static_cast<NavigateOnly*>(this);
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
            g_seen.window = window_ = CreateWindowExW(0, kStandInClass, nullptr, WS_CHILD | WS_VISIBLE, position.left,
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

    // IOleInPlaceActiveObject: the page uses Tab and Ctrl+C; any other key goes on to its window.
    STDMETHODIMP TranslateAccelerator(MSG* message) override
    {
        if (message->message != WM_KEYDOWN) return S_FALSE;
        if (message->wParam == VK_TAB) return ++g_seen.tabs, S_OK;
        if (message->wParam == 'C' && GetKeyState(VK_CONTROL) < 0) return ++g_seen.copies, S_OK;
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

    // IDispatch and IWebBrowser2's first slots
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP GoBack() override { return E_NOTIMPL; }
    STDMETHODIMP GoForward() override { return E_NOTIMPL; }
    STDMETHODIMP GoHome() override { return E_NOTIMPL; }
    STDMETHODIMP GoSearch() override { return E_NOTIMPL; }
    STDMETHODIMP Navigate(BSTR, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override { return ++g_seen.navigations, S_OK; }

private:
    ULONG references_ = 1;
    Microsoft::WRL::ComPtr<IOleClientSite> site_;
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

class ViewerKeys : public ViewerTest {
protected:
    void SetUp() override
    {
        QUILLPOST_UNDER_WINE_ONLY("presses keys on the real keyboard");
        g_seen = {};
        WNDCLASSW standIn{0, StandInWindow, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr,
                          kStandInClass};
        RegisterClassW(&standIn);  // or registered by an earlier test
        ViewerTest::SetUp();
        ASSERT_EQ(S_OK, CoRegisterClassObject(CLSID_WebBrowser, &factory_, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                              &registration_));
    }
    void TearDown() override
    {
        if (registration_) CoRevokeClassObject(registration_);
        ViewerTest::TearDown();
    }

    StandInFactory factory_;
    DWORD registration_ = 0;
};

TEST_F(ViewerKeys, TabAndCtrlCInThePageReachItsActiveObjectOnceAndNoHookOutlivesTheViewer)
{
    ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
    HWND viewer = Viewer();
    ASSERT_EQ(1, g_seen.navigations) << "the stand-in does not stand in for the browser";
    EXPECT_EQ(g_seen.window, GetFocus()) << "activation does not give the page the focus";
    PressKey(VK_TAB);
    PressWith(VK_CONTROL, 'C');
    PressKey('A');
    EXPECT_EQ(1, g_seen.tabs);
    EXPECT_EQ(1, g_seen.copies);
    EXPECT_EQ(2, g_seen.keysAtWindow);  // Ctrl and A, which the page left alone; not the keys it used
    SetFocus(Picture(viewer));          // the page no longer has the focus: its keys are not offered
    PressKey(VK_TAB);
    EXPECT_EQ(1, g_seen.tabs);

    CloseViewer(viewer);
    EXPECT_EQ(0, g_seen.alive) << "the container still holds the control's active object";
    sample_.Reset();
    ASSERT_TRUE(PumpUntil([] { return CanUnloadNow() == S_OK; })) << "the hook still keeps the module";
    EXPECT_TRUE(PumpUntil([] {
        CoFreeUnusedLibrariesEx(0, 0);
        return GetModuleHandleW(L"Quillpost.dll") == nullptr;
    }));
    // A hook left behind would now be called in an unmapped image.
    PostThreadMessageW(GetCurrentThreadId(), WM_KEYDOWN, VK_TAB, 0);
    PumpMessages(100);
    EXPECT_EQ(1, g_seen.tabs);
}

}  // namespace
}  // namespace quillpost::testing
