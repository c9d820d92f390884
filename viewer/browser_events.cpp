#include "viewer/browser_events.h"

#include <exdisp.h>
#include <exdispid.h>

#include <utility>

#include "viewer/event_arguments.h"
#include "shell/users_browser.h"
#include "viewer/page_navigation.h"
#include "viewer/page_zoom.h"

namespace quillpost {
namespace {

using event_arguments::At;
using event_arguments::Flag;
using event_arguments::Text;

// Each event's declared argument count, and where its Cancel, address and document flag stand.
namespace before_navigate { constexpr UINT kCount = 7, kAddress = 1, kCancel = 6; }
namespace new_window3 { constexpr UINT kCount = 5, kCancel = 1, kFlags = 2, kAddress = 4; }
namespace new_window2 { constexpr UINT kCount = 2, kCancel = 1; }
namespace file_download { constexpr UINT kCount = 2, kIsDocument = 0, kCancel = 1; }
namespace document_complete { constexpr UINT kCount = 2, kBrowser = 0; }
namespace navigate_error { constexpr UINT kCount = 5, kCancel = 4; }

void Cancel(VARIANT_BOOL* cancel) { *cancel = VARIANT_TRUE; }

}  // namespace

HRESULT BrowserEvents::Create(IUnknown* browser, int dpi, HWND viewer, Microsoft::WRL::ComPtr<BrowserEvents>* out)
{
    return MakeComObject(*out, browser, dpi, viewer);
}

std::span<const InterfaceRow> BrowserEvents::Interfaces()
{
    static constexpr InterfaceRow kRows[] = {
        Row<BrowserEvents, IDispatch>(IID_IDispatch),
        Row<BrowserEvents, IDispatch>(DIID_DWebBrowserEvents2),
    };
    return kRows;
}

STDMETHODIMP BrowserEvents::GetTypeInfoCount(UINT* count)
{
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP BrowserEvents::GetTypeInfo(UINT, LCID, ITypeInfo** out)
{
    if (out) *out = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP BrowserEvents::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

STDMETHODIMP BrowserEvents::Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*)
{
    // The zoom calls into the control, which may pump: the viewer's entry takes a running scope.
    const WindowEntryScope entered = viewer_.Enter();
    switch (member) {
    case DISPID_BEFORENAVIGATE2:
        OnBeforeNavigate(params);
        break;
    case DISPID_NEWWINDOW2:
    case DISPID_NEWWINDOW3:
        OnNewWindow(params, member == DISPID_NEWWINDOW3);
        break;
    case DISPID_FILEDOWNLOAD:
        OnFileDownload(params);
        break;
    case DISPID_NAVIGATEERROR:
        OnNavigateError(params);
        break;
    case DISPID_DOCUMENTCOMPLETE:
        OnDocumentComplete(params);
        break;
    default:
        break;  // the control's own behaviour
    }
    return S_OK;
}

void BrowserEvents::OnBeforeNavigate(const DISPPARAMS* params)
{
    using namespace before_navigate;
    VARIANT_BOOL* cancel = Flag(At(params, kCount, kCancel));
    if (!cancel) return;
    const std::wstring_view address = Text(At(params, kCount, kAddress));
    lastNavigation_.Clear();
    // The error page is the control's answer to the failure it has just reported, and only that.
    const bool errorPage = std::exchange(errorPageDue_, false) && IsControlsErrorPage(address);
    if (!IsShownInViewer(address) && !errorPage) return Cancel(cancel);
    // Kept whole or not at all; what is no web address the user's browser will refuse to open.
    if (address.size() <= kLongestWebAddress) lastNavigation_ += address;
}

// NewWindow3 comes first and carries the address; the control fires NewWindow2 after it only when
// it was neither cancelled nor given a window, so a NewWindow2 comes alone from a control that
// has no NewWindow3. It carries no address, and the last navigation is the page's own, not the new
// window's (which the new window would request itself): it opens nothing.
void BrowserEvents::OnNewWindow(const DISPPARAMS* params, bool third)
{
    VARIANT_BOOL* cancel = third ? Flag(At(params, new_window3::kCount, new_window3::kCancel))
                                 : Flag(At(params, new_window2::kCount, new_window2::kCancel));
    if (!cancel) return;
    Cancel(cancel);
    if (!third) return;
    // A window that a script opens by itself, or while its page unloads, goes nowhere.
    const ULONG flags = event_arguments::Number(At(params, new_window3::kCount, new_window3::kFlags), 0);
    if (IsUsersFirstWindow(flags)) OpenForPage(Text(At(params, new_window3::kCount, new_window3::kAddress)));
}

// Refused, and nothing starts, for anything but an http: or https: address of a sane length, and
// once the page has used up its starts for now. Only an address that would start something spends one.
void BrowserEvents::OpenForPage(std::wstring_view address)
{
    if (!IsWebAddress(address) || address.size() > kLongestWebAddress || !starts_.Take()) return;
    OpenInUsersBrowser(address);
}

// The control fires FileDownload for every document it is about to show, with ActiveDocument
// true: that is the page itself, which must go on, or the pane stays blank.
void BrowserEvents::OnFileDownload(const DISPPARAMS* params)
{
    using namespace file_download;
    VARIANT_BOOL* cancel = Flag(At(params, kCount, kCancel));
    // A call of another shape is taken for a document: the page must never be stopped by mistake.
    const bool isDocument = event_arguments::Boolean(At(params, kCount, kIsDocument), true);
    if (!cancel || isDocument) return;
    Cancel(cancel);
    OpenForPage(lastNavigation_.View());
    lastNavigation_.Clear();  // one download, one start
}

// The control goes on to show its error page unless the failure is cancelled; it is not, so that
// the user sees why the page is missing.
void BrowserEvents::OnNavigateError(const DISPPARAMS* params)
{
    errorPageDue_ = Flag(At(params, navigate_error::kCount, navigate_error::kCancel)) != nullptr;
}

// Each frame's document fires it too, before the page's: the page is complete when the control's
// own fires. Its zoom is set then, as an engine takes a zoom only once it shows a document.
void BrowserEvents::OnDocumentComplete(const DISPPARAMS* params)
{
    using namespace document_complete;
    IDispatch* browser = event_arguments::Object(At(params, kCount, kBrowser));
    Microsoft::WRL::ComPtr<IUnknown> identity;
    if (!browser || FAILED(browser->QueryInterface(IID_PPV_ARGS(&identity))) || identity.Get() != browser_) return;
    documentReady_ = true;
    zoom_.Apply(browser);
}

}  // namespace quillpost
