// A host of a given DPI awareness, run in its own process so that the display's DPI set for the
// prefix applies: opens both windows of the plug-in and prints what this host sees of them.
//
//   dpi_probe unaware|system|permonitor
//
// Prints "dpi N", "kept 0|1" (the host's own context unchanged by the calls), then per window
// "window NAME W H" (client size) and "control NAME L T R B" (each control in its parent's
// client coordinates), in physical pixels; "font NAME H" (a control's font height in pixels);
// "skin W H" and "pixel NAME RRGGBB" (the viewer's picture, at landmarks of the 96-dpi skin
// scaled to the window's DPI).
#include <windows.h>
#include <wrl/client.h>

#include <cstdio>
#include <string>

#include "forms/form_table.h"
#include "forms/gdi_object.h"
#include "core/raii.h"

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

void PrintFont(HWND control, const wchar_t* name)
{
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font), &font);
    std::wprintf(L"font %ls %ld\n", name, font.lfHeight < 0 ? -font.lfHeight : font.lfHeight);
}

// Points of the 96-dpi skin, in the middle of what lies there: the frame line, the title strip
// behind the heading, the minimize bar, the close cross's middle and the pane's white margin.
struct Landmark {
    const wchar_t* name;
    double x, y;  // centre, in 96-dpi pixels
};
constexpr Landmark kLandmarks[] = {
    {L"frame", 1.5, 250.5}, {L"strip", 300.5, 20.5}, {L"bar", 539.0, 18.0}, {L"cross", 551.5, 15.5},
    {L"margin", 6.0, 300.5},
};

void PrintSkin(HWND pic, int dpi)
{
    const auto section = reinterpret_cast<HBITMAP>(SendMessageW(pic, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP held{};
    if (!GetObjectW(section, sizeof(held), &held)) return;
    std::wprintf(L"skin %ld %ld\n", held.bmWidth, held.bmHeight);
    const quillpost::MemoryDc skin(nullptr, section);
    for (const Landmark& mark : kLandmarks) {
        const int x = static_cast<int>(mark.x * dpi / 96), y = static_cast<int>(mark.y * dpi / 96);
        const COLORREF color = GetPixel(skin.Get(), x, y);
        std::wprintf(L"pixel %ls %02X%02X%02X\n", mark.name, GetRValue(color), GetGValue(color), GetBValue(color));
    }
}

// The viewer: pic, then the pane and the heading inside pic.
void PrintViewer(HWND viewer, int dpi)
{
    PrintWindow(viewer, L"Form1");
    HWND pic = GetWindow(viewer, GW_CHILD);
    if (!pic) return;
    PrintChild(pic, L"pic");
    HWND pane = GetWindow(pic, GW_CHILD);
    if (pane) PrintChild(pane, L"main");
    HWND heading = pane ? GetWindow(pane, GW_HWNDNEXT) : nullptr;
    if (heading) PrintChild(heading, L"Label1");
    if (heading) PrintFont(heading, L"Label1");
    PrintSkin(pic, dpi);
}

// The About window: its controls, named by their place in the table (the order of creation).
void PrintAbout(HWND about)
{
    PrintWindow(about, L"About");
    for (int row = 0; HWND control = GetDlgItem(about, quillpost::form::ControlId(row)); ++row)
        PrintChild(control, std::to_wstring(row + 1).c_str());
    if (HWND first = GetDlgItem(about, quillpost::form::ControlId(0))) PrintFont(first, L"About");
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
        // Measured as a per-monitor-aware thread sees them: in physical pixels, whatever the host.
        if (!setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
        using DpiOfWindow = UINT(WINAPI*)(HWND);
        auto dpiOf = User32<DpiOfWindow>("GetDpiForWindow");
        if (viewer) PrintViewer(viewer, dpiOf ? static_cast<int>(dpiOf(viewer)) : 96);
        if (about) PrintAbout(about);
        setContext(host);
        if (viewer) SendMessageW(viewer, WM_CLOSE, 0, 0);
        if (about) SendMessageW(about, WM_CLOSE, 0, 0);
    }
    CoUninitialize();
    std::fflush(stdout);
    return exitCode;
}
