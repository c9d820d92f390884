// The least a program can do for the viewer's main job, and so the yardstick for it: create a
// 575x512 borderless window (at 96 dpi; in proportion at the display's DPI, as the viewer is) where
// the system places new windows, host the WebBrowser control in place, show the window and ask
// for the forum page. Prints how long that took from main and the memory it committed, then tears
// all of it down as a host does before it exits.
//
// With --plugin-loaded it first does what a host does before the plug-in's own work begins:
// create the plug-in by its ProgID and look up "Initialize" by name (which loads the DLL and its
// type library), and it releases the plug-in before its apartment ends (which unloads the DLL).
// That is the least that any in-process plug-in costs its host here.
#include <windows.h>
#include <exdisp.h>
#include <ole2.h>

#include <cstring>
#include <cwchar>

#include "core/addresses.h"
#include "bench/probe.h"

namespace {

// The window's size at the display's DPI (a process of ours is DPI-aware, as the viewer is).
int g_width = 575, g_height = 512;

// Asked of user32, which both hosts import already: a library more would cost this one's start.
void ScaleToDisplay()
{
    using DpiForSystem = UINT(WINAPI*)();
    const auto forSystem = reinterpret_cast<DpiForSystem>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForSystem")));
    const int dpi = forSystem ? static_cast<int>(forSystem()) : 96;
    g_width = MulDiv(g_width, dpi, 96);
    g_height = MulDiv(g_height, dpi, 96);
}

// One static site serves the one control; GetWindowContext may name no frame.
class Site final : public IOleClientSite, public IOleInPlaceSite {
public:
    HWND window = nullptr;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
            *out = static_cast<IOleClientSite*>(this);
        } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
            *out = static_cast<IOleInPlaceSite*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override
    {
        *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    STDMETHODIMP GetWindow(HWND* out) override
    {
        *out = window;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position,
                                  RECT* clip, OLEINPLACEFRAMEINFO* info) override
    {
        *frame = nullptr;
        *document = nullptr;
        *position = *clip = {0, 0, g_width, g_height};
        info->cb = sizeof(*info);
        info->fMDIApp = FALSE;
        info->hwndFrame = window;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(const RECT*) override { return S_OK; }
};

Site g_site;

constexpr DWORD kBorderless = WS_POPUP | WS_CLIPCHILDREN;

LRESULT CALLBACK BecomeBorderless(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) SetWindowLongPtrW(window, GWL_STYLE, kBorderless);
    return DefWindowProcW(window, message, wParam, lParam);
}

// The viewer opens where the system places new windows, and the system places only windows
// created overlapped (a popup given CW_USEDEFAULT lands in the screen's corner). So this window
// too is asked for as an overlapped one and becomes a popup in WM_NCCREATE, before any frame
// exists.
HWND CreateBorderlessWindow()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = BecomeBorderless;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"MinimalBrowserHost";
    if (!RegisterClassW(&windowClass)) return nullptr;
    return CreateWindowExW(0, windowClass.lpszClassName, L"Minimal", WS_OVERLAPPED | WS_CLIPCHILDREN, CW_USEDEFAULT,
                           CW_USEDEFAULT, g_width, g_height, nullptr, nullptr, windowClass.hInstance, nullptr);
}

// The plug-in, created as its host creates it and with "Initialize" looked up; null on failure.
IDispatch* LoadPlugin()
{
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(bench::kPluginProgId, &clsid))) return nullptr;
    IDispatch* plugin = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&plugin))))
        return nullptr;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Initialize")};
    DISPID initialize = 0;
    if (FAILED(plugin->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &initialize))) {
        plugin->Release();
        return nullptr;
    }
    return plugin;
}

IOleObject* CreateBrowserInPlace(HWND window)
{
    IOleObject* control = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                reinterpret_cast<void**>(&control))))
        return nullptr;
    g_site.window = window;
    control->SetClientSite(&g_site);
    IPersistStreamInit* persist = nullptr;
    if (SUCCEEDED(control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)))) {
        persist->InitNew();
        persist->Release();
    }
    RECT area{0, 0, g_width, g_height};
    control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &g_site, 0, window, &area);
    return control;
}

HRESULT Navigate(IOleObject* control, const wchar_t* address)
{
    IWebBrowser2* browser = nullptr;
    HRESULT hr = control->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser));
    if (FAILED(hr)) return hr;
    BSTR url = SysAllocString(address);
    VARIANT empty;
    VariantInit(&empty);
    hr = browser->Navigate(url, &empty, &empty, &empty, &empty);
    SysFreeString(url);
    browser->Release();
    return hr;
}

}  // namespace

// minimal_browser_host [--plugin-loaded]
int main(int argc, char** argv)
{
    const long long start = bench::Ticks();
    const bool withPlugin = argc > 1 && std::strcmp(argv[1], "--plugin-loaded") == 0;
    wchar_t page[256];
    std::swprintf(page, 256, L"http://%ls/latest.php", quillpost::kForumHost);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    const long long probeStart = bench::Ticks();
    const long long memoryBefore = bench::CommittedPrivateBytes();
    ScaleToDisplay();
    const long long comReady = bench::Ticks();  // the walk above is not part of the job

    IDispatch* plugin = withPlugin ? LoadPlugin() : nullptr;
    if (withPlugin && !plugin) return 5;
    const long long pluginLoaded = bench::Ticks();
    HWND window = CreateBorderlessWindow();
    if (!window) return 2;
    const long long windowCreated = bench::Ticks();
    IOleObject* control = CreateBrowserInPlace(window);
    if (!control) return 3;
    const long long browserActive = bench::Ticks();
    ShowWindow(window, SW_SHOW);
    const long long shown = bench::Ticks();
    if (FAILED(Navigate(control, page))) return 4;
    const long long end = bench::Ticks();
    const long long memoryAfter = bench::CommittedPrivateBytes();

    bench::Report()
        .Add("start", start)
        .Add("end", end)
        .Add("probe", comReady - probeStart)
        .Add("com", probeStart - start)
        .Add("plugin", pluginLoaded - comReady)
        .Add("window", windowCreated - pluginLoaded)
        .Add("browser", browserActive - windowCreated)
        .Add("show", shown - browserActive)
        .Add("navigate", end - shown)
        .Add("memory_show", memoryAfter - memoryBefore);

    const long long leaving = bench::Ticks();
    control->Close(OLECLOSE_NOSAVE);
    control->SetClientSite(nullptr);
    control->Release();
    DestroyWindow(window);
    if (plugin) plugin->Release();
    const long long released = bench::Ticks();
    CoUninitialize();
    const long long left = bench::Ticks();
    bench::Report().Add("release", released - leaving).Add("uninitialize", left - released).Add("left", left);
    return 0;
}
