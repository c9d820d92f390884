#include "viewer/browser_site.h"

#include <utility>

#include "viewer/browser_shortcuts.h"
#include "viewer/new_window_policy.h"

namespace quillpost {
namespace {

// What the control's own site gives when its host answers no GetHostInfo (Microsoft's "Addressing
// DPI issues", on the hosted browser control: 0x5a74012). A host that answers it replaces them, so
// the viewer names them all and adds its own.
constexpr DWORD kControlsOwnFlags =
    DOCHOSTUIFLAG_DISABLE_HELP_MENU | DOCHOSTUIFLAG_DISABLE_SCRIPT_INACTIVE | DOCHOSTUIFLAG_ENABLE_FORMS_AUTOCOMPLETE |
    DOCHOSTUIFLAG_ENABLE_INPLACE_NAVIGATION | DOCHOSTUIFLAG_IME_ENABLE_RECONVERSION | DOCHOSTUIFLAG_THEME |
    DOCHOSTUIFLAG_NO3DOUTERBORDER |
    DOCHOSTUIFLAG_LOCAL_MACHINE_ACCESS_CHECK |     // Internet pages kept from the machine's files
    DOCHOSTUIFLAG_DISABLE_UNTRUSTEDPROTOCOL |      // no protocol handler that is not trusted
    DOCHOSTUIFLAG_ENABLE_REDIRECT_NOTIFICATION;    // a server's redirect meets BeforeNavigate2
static_assert(kControlsOwnFlags == 0x5a74012, "the control's own host flags, as documented");

}  // namespace

BrowserSite::BrowserSite(HWND container, const RECT& position, Microsoft::WRL::ComPtr<IOleInPlaceFrame> frame)
    : container_(container), position_(position), frame_(std::move(frame))
{
}

HRESULT BrowserSite::Create(HWND container, const RECT& position, Microsoft::WRL::ComPtr<IOleInPlaceFrame> frame,
                            Microsoft::WRL::ComPtr<BrowserSite>* out)
{
    return MakeComObject(*out, container, position, std::move(frame));
}

std::span<const InterfaceRow> BrowserSite::Interfaces()
{
    static constexpr InterfaceRow kRows[] = {
        Row<BrowserSite, IOleClientSite>(IID_IOleClientSite),
        Row<BrowserSite, IOleInPlaceSite>(IID_IOleWindow),
        Row<BrowserSite, IOleInPlaceSite>(IID_IOleInPlaceSite),
        Row<BrowserSite, IDocHostUIHandler>(IID_IDocHostUIHandler),
        Row<BrowserSite, IOleCommandTarget>(IID_IOleCommandTarget),
        Row<BrowserSite, IServiceProvider>(IID_IServiceProvider),
        Row<BrowserSite, INewWindowManager>(IID_INewWindowManager),
        // The security manager, a part of the site.
        {&IID_IInternetSecurityManager,
         [](void* site) -> IUnknown* { return &static_cast<BrowserSite*>(site)->security_; }},
    };
    return kRows;
}

STDMETHODIMP BrowserSite::GetMoniker(DWORD, DWORD, IMoniker** out)
{
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP BrowserSite::GetContainer(IOleContainer** out)
{
    if (out) *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP BrowserSite::GetWindow(HWND* out)
{
    if (!out) return E_POINTER;
    *out = container_;
    return S_OK;
}

STDMETHODIMP BrowserSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                           RECT* position, RECT* clip, OLEINPLACEFRAMEINFO* frameInfo)
{
    // Every output the caller passed is cleared first, so a failure leaves nothing behind.
    if (frame) *frame = nullptr;
    if (document) *document = nullptr;
    if (position) *position = {};
    if (clip) *clip = {};
    if (!frame || !document || !position || !clip || !frameInfo) return E_POINTER;
    frame_.CopyTo(frame);
    *document = nullptr;  // no document window of our own: the frame serves
    *position = position_;
    *clip = position_;
    frameInfo->cb = sizeof(*frameInfo);
    frameInfo->fMDIApp = FALSE;
    frameInfo->hwndFrame = GetAncestor(container_, GA_ROOT);
    frameInfo->haccel = nullptr;
    frameInfo->cAccelEntries = 0;
    return S_OK;
}

STDMETHODIMP BrowserSite::GetHostInfo(DOCHOSTUIINFO* info)
{
    if (!info || info->cbSize < sizeof(DOCHOSTUIINFO)) return E_INVALIDARG;
    // The control's own protections kept. And a page's pixel is a 96th of an inch, not a pixel of
    // the screen; how many screen pixels it takes is the page's zoom, which the pane sets to its
    // window's DPI (page_zoom.h).
    info->dwFlags = kControlsOwnFlags | DOCHOSTUIFLAG_DPI_AWARE;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    info->pchHostCss = nullptr;
    info->pchHostNS = nullptr;
    return S_OK;
}

STDMETHODIMP BrowserSite::TranslateAccelerator(LPMSG message, const GUID*, DWORD)
{
    return message && IsWithheldShortcut(*message) ? S_OK : S_FALSE;
}

STDMETHODIMP BrowserSite::GetOptionKeyPath(LPOLESTR* key, DWORD)
{
    if (key) *key = nullptr;
    return S_FALSE;
}

STDMETHODIMP BrowserSite::GetDropTarget(IDropTarget*, IDropTarget** out)
{
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP BrowserSite::GetExternal(IDispatch** out)
{
    if (out) *out = nullptr;
    return S_FALSE;
}

STDMETHODIMP BrowserSite::TranslateUrl(DWORD, LPWSTR, LPWSTR* out)
{
    if (out) *out = nullptr;
    return S_FALSE;
}

STDMETHODIMP BrowserSite::FilterDataObject(IDataObject*, IDataObject** out)
{
    if (out) *out = nullptr;
    return S_FALSE;
}

STDMETHODIMP BrowserSite::Exec(const GUID* group, DWORD command, DWORD, VARIANT*, VARIANT* out)
{
    // The document host's command group, which the platform's headers declare but do not define.
    static constexpr GUID kDocHostCommands{0xf38bc242, 0xb950, 0x11d1, {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};
    if (!group || *group != kDocHostCommands) return OLECMDERR_E_UNKNOWNGROUP;
    if (command != OLECMDID_SHOWSCRIPTERROR) return OLECMDERR_E_NOTSUPPORTED;
    if (out) {
        VariantClear(out);
        V_VT(out) = VT_BOOL;
        V_BOOL(out) = VARIANT_TRUE;  // go on running the page's scripts
    }
    return S_OK;
}

STDMETHODIMP BrowserSite::QueryService(REFGUID service, REFIID iid, void** out)
{
    // The manager is the site's own part: the site's table answers for it.
    if (service == SID_SInternetSecurityManager || service == SID_SNewWindowManager) return QueryInterface(iid, out);
    if (out) *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP BrowserSite::EvaluateNewWindow(LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, BOOL, DWORD flags, DWORD)
{
    return IsUsersFirstWindow(flags) ? S_OK : S_FALSE;
}

}  // namespace quillpost
