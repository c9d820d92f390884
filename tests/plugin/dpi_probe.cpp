// A host of a given DPI awareness, run in its own process so that the display's DPI set for the
// prefix applies: opens both windows of the plug-in and prints what this host sees of them.
//
//   dpi_probe unaware|system|permonitor
//
// Prints "dpi N", "kept 0|1" (the host's own context unchanged by the calls), then per window
// "window NAME W H" (client size) and "control NAME L T R B" (each control in its parent's
// client coordinates), all as this host's thread sees them.
#include <windows.h>
#include <wrl/client.h>

#include <cstdio>
#include <string>

#include "base/raii.h"

using Microsoft::WRL::ComPtr;

namespace {

using SetContext = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
using ContextsEqual = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT, DPI_AWARENESS_CONTEXT);

template <typename Function>
Function User32(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

HRESULT CallByName(IDispatch* object, const wchar_t* name, VARIANT* args, UINT count)
{
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id); FAILED(hr)) return hr;
    DISPPARAMS params{args, nullptr, count, 0};
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr =
        object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
    VariantClear(&result);
    return hr;
}

HWND FindOwnWindow(const wchar_t* caption)
{
    HWND found = FindWindowW(nullptr, caption);
    return found && GetWindowThreadProcessId(found, nullptr) == GetCurrentThreadId() ? found : nullptr;
}

void PrintChild(HWND child, const wchar_t* name)
{
    RECT box{};
    GetWindowRect(child, &box);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&box), 2);
    std::wprintf(L"control %ls %ld %ld %ld %ld\n", name, box.left, box.top, box.right, box.bottom);
}

void PrintWindow(HWND window, const wchar_t* name)
{
    RECT client{};
    GetClientRect(window, &client);
    std::wprintf(L"window %ls %ld %ld\n", name, client.right, client.bottom);
}

// The viewer: pic, then the pane and the heading inside pic.
void PrintViewer(HWND viewer)
{
    PrintWindow(viewer, L"Form1");
    HWND pic = GetWindow(viewer, GW_CHILD);
    if (!pic) return;
    PrintChild(pic, L"pic");
    HWND pane = GetWindow(pic, GW_CHILD);
    if (pane) PrintChild(pane, L"main");
    HWND heading = pane ? GetWindow(pane, GW_HWNDNEXT) : nullptr;
    if (heading) PrintChild(heading, L"Label1");
}

// The About window: its controls, named by their place in the table (the order of creation).
void PrintAbout(HWND about)
{
    PrintWindow(about, L"About");
    for (int id = 1; HWND control = GetDlgItem(about, id); ++id) PrintChild(control, std::to_wstring(id).c_str());
}

DPI_AWARENESS_CONTEXT ContextNamed(const std::wstring& name)
{
    if (name == L"unaware") return DPI_AWARENESS_CONTEXT_UNAWARE;
    if (name == L"system") return DPI_AWARENESS_CONTEXT_SYSTEM_AWARE;
    if (name == L"permonitor") return DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2;
    return nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    auto setContext = User32<SetContext>("SetThreadDpiAwarenessContext");
    auto equal = User32<ContextsEqual>("AreDpiAwarenessContextsEqual");
    DPI_AWARENESS_CONTEXT host = argc == 2 ? ContextNamed(argv[1]) : nullptr;
    if (!setContext || !equal || !host) return 2;
    if (!setContext(host)) {
        // Wine 8 knows per-monitor awareness only in its first version.
        if (host != DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) return 2;
        host = DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE;
        if (!setContext(host)) return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 3;
    int exitCode = 0;
    {
        CLSID clsid{};
        ComPtr<IDispatch> sample;
        if (FAILED(CLSIDFromProgID(L"TallowPlugin6.Sample", &clsid)) ||
            FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&sample))))
            return 4;
        quillpost::UniqueBstr email(SysAllocString(L"dpi@quillpost.example"));
        VARIANT args[3] = {};  // Initialize's, last to first
        args[0].vt = VT_DISPATCH;
        args[1].vt = VT_BSTR;
        args[1].bstrVal = email.Get();
        args[2].vt = VT_I4;
        args[2].lVal = 6;
        const HRESULT shown = CallByName(sample.Get(), L"Initialize", args, 3);
        const HRESULT configured = CallByName(sample.Get(), L"Configure", nullptr, 0);
        HDC screen = GetDC(nullptr);
        std::wprintf(L"dpi %d\n", GetDeviceCaps(screen, LOGPIXELSX));
        ReleaseDC(nullptr, screen);
        std::wprintf(L"kept %d\n", equal(setContext(host), host) ? 1 : 0);
        HWND viewer = FindOwnWindow(L"Form1"), about = FindOwnWindow(L"About");
        if (FAILED(shown) || FAILED(configured) || !viewer || !about) exitCode = 5;
        if (viewer) PrintViewer(viewer);
        if (about) PrintAbout(about);
        if (viewer) SendMessageW(viewer, WM_CLOSE, 0, 0);
        if (about) SendMessageW(about, WM_CLOSE, 0, 0);
    }
    CoUninitialize();
    std::fflush(stdout);
    return exitCode;
}
