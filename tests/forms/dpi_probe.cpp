// A host of a given DPI awareness, run in its own process so that the display's DPI set for the
// prefix applies: opens both windows of the plug-in and prints what this host sees of them.
//
//   dpi_probe unaware|system|permonitor [entries]
//
// Prints "dpi N", "kept 0|1" (the host's own context unchanged by the calls), then per window
// "window NAME W H" (client size) and "control NAME L T R B" (each control in its parent's
// client coordinates), in physical pixels; "font NAME H" (a control's font height in pixels);
// "skin W H" and "pixel NAME RRGGBB" (the viewer's picture, at landmarks of the 96-dpi skin
// scaled to the window's DPI).
//
// With "entries", the page is the stand-in of viewer/stand_in_browser.h, and the probe calls the
// windows from this host's thread, in its own context, as foreign code does: "client NAME L T R B"
// (a window's client area on the screen, in physical pixels); per element that a screen reader
// reads (the viewer's Close button, each About link) "location NAME L T R B" and "hit NAME ID" (what
// a hit test finds at the middle of the element's physical place); "context hook A" and "context
// Form1 A" (the thread's DPI awareness when the key hook offered the page a key, and the viewer's).
#include <windows.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <cstdio>
#include <string>

#include "forms/form_table.h"
#include "forms/gdi_object.h"
#include "core/raii.h"
#include "viewer/stand_in_browser.h"

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

// The thread's context, and whether every call from foreign code gave it back.
struct HostContext {
    SetContext set;
    DPI_AWARENESS_CONTEXT host;
    bool kept = true;

    void EnterPerMonitor() const
    {
        if (!set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
    }
    void CheckKept()
    {
        static const auto current = User32<DPI_AWARENESS_CONTEXT(WINAPI*)()>("GetThreadDpiAwarenessContext");
        static const auto equal = User32<ContextsEqual>("AreDpiAwarenessContextsEqual");
        kept = kept && equal(current(), host);
    }
};

int AwarenessOf(HWND window)
{
    auto ofWindow = User32<DPI_AWARENESS_CONTEXT(WINAPI*)(HWND)>("GetWindowDpiAwarenessContext");
    auto awareness = User32<int(WINAPI*)(DPI_AWARENESS_CONTEXT)>("GetAwarenessFromDpiAwarenessContext");
    return awareness(ofWindow(window));
}

VARIANT ChildId(LONG child)
{
    VARIANT id;
    V_VT(&id) = VT_I4;
    V_I4(&id) = child;
    return id;
}

RECT Location(IAccessible* object, LONG child)
{
    LONG left = 0, top = 0, width = 0, height = 0;
    object->accLocation(&left, &top, &width, &height, ChildId(child));
    return {left, top, left + width, top + height};
}

// What a hit test finds at the middle of `place`: a child's number, 0 for the object, -1 for nothing.
LONG HitAt(IAccessible* object, const RECT& place)
{
    VARIANT hit;
    VariantInit(&hit);
    const HRESULT hr = object->accHitTest((place.left + place.right) / 2, (place.top + place.bottom) / 2, &hit);
    const LONG found = hr == S_OK && V_VT(&hit) == VT_I4 ? V_I4(&hit) : -1;
    VariantClear(&hit);
    return found;
}

// The element's place as this thread reads it in its own context, and a hit test at its physical
// place (read in a per-monitor context).
void PrintElement(IAccessible* object, LONG child, const wchar_t* name, HostContext& context)
{
    context.EnterPerMonitor();
    const RECT physical = Location(object, child);
    context.set(context.host);
    const RECT seen = Location(object, child);
    const LONG hit = HitAt(object, physical);
    context.CheckKept();
    std::wprintf(L"location %ls %ld %ld %ld %ld\n", name, seen.left, seen.top, seen.right, seen.bottom);
    std::wprintf(L"hit %ls %ld\n", name, hit);
}

ComPtr<IAccessible> ClientObject(HWND window)
{
    ComPtr<IAccessible> object;
    AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_PPV_ARGS(&object));
    return object;
}

bool NamedAs(IAccessible* object, LONG child, const wchar_t* name)
{
    quillpost::UniqueBstr text;
    return SUCCEEDED(object->get_accName(ChildId(child), text.Put())) && text.Get() && std::wstring(text.Get()) == name;
}

bool IsLink(IAccessible* object)
{
    VARIANT role;
    VariantInit(&role);
    return SUCCEEDED(object->get_accRole(ChildId(CHILDID_SELF), &role)) && V_VT(&role) == VT_I4 &&
           V_I4(&role) == ROLE_SYSTEM_LINK;
}

void PrintClientOnScreen(HWND window, const wchar_t* name)
{
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    std::wprintf(L"client %ls %ld %ld %ld %ld\n", name, client.left, client.top, client.right, client.bottom);
}

// The key hook offers the page a key that this thread takes off its queue.
void PrintKeyHookContext(HWND viewer)
{
    auto& seen = quillpost::testing::g_standIn;
    PostMessageW(seen.window, WM_KEYDOWN, VK_TAB, 0);
    MSG message;
    for (const ULONGLONG until = GetTickCount64() + 5000; seen.keyAwareness < 0 && GetTickCount64() < until;) {
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
    }
    std::wprintf(L"context hook %d\ncontext Form1 %d\n", seen.keyAwareness, AwarenessOf(viewer));
}

void PrintEntries(HWND viewer, HWND about, HostContext& context)
{
    context.EnterPerMonitor();
    // Away from the screen's corner, where a logical and a physical origin differ.
    SetWindowPos(viewer, nullptr, 120, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PrintClientOnScreen(viewer, L"Form1");
    PrintClientOnScreen(about, L"About");
    context.set(context.host);
    if (ComPtr<IAccessible> form = ClientObject(viewer)) {
        for (LONG child = 1; child <= 8; ++child) {
            if (NamedAs(form.Get(), child, L"Close")) PrintElement(form.Get(), child, L"Close", context);
        }
    }
    for (int row = 0; HWND control = GetDlgItem(about, quillpost::form::ControlId(row)); ++row) {
        ComPtr<IAccessible> label = ClientObject(control);
        if (label && IsLink(label.Get()))
            PrintElement(label.Get(), CHILDID_SELF, std::to_wstring(row + 1).c_str(), context);
    }
    PrintKeyHookContext(viewer);
    context.CheckKept();
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
    DPI_AWARENESS_CONTEXT host = argc >= 2 ? ContextNamed(argv[1]) : nullptr;
    const bool entries = argc == 3 && std::wstring(argv[2]) == L"entries";
    if (!setContext || !equal || !host || argc > 3 || (argc == 3 && !entries)) return 2;
    if (!setContext(host)) {
        // Wine 8 knows per-monitor awareness only in its first version.
        if (host != DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) return 2;
        host = DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE;
        if (!setContext(host)) return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 3;
    int exitCode = 0;
    {
        quillpost::testing::StandInRegistration standIn;
        if (entries && FAILED(standIn.Register())) return 6;
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
        const bool kept = equal(setContext(host), host);
        HWND viewer = FindOwnWindow(L"Form1"), about = FindOwnWindow(L"About");
        if (FAILED(shown) || FAILED(configured) || !viewer || !about) exitCode = 5;
        if (entries && viewer && about) {
            HostContext context{setContext, host};
            PrintEntries(viewer, about, context);
            std::wprintf(L"kept %d\n", kept && context.kept ? 1 : 0);
        } else {
            std::wprintf(L"kept %d\n", kept ? 1 : 0);
            // Measured as a per-monitor-aware thread sees them: in physical pixels, whatever the host.
            if (!setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
            using DpiOfWindow = UINT(WINAPI*)(HWND);
            auto dpiOf = User32<DpiOfWindow>("GetDpiForWindow");
            if (viewer) PrintViewer(viewer, dpiOf ? static_cast<int>(dpiOf(viewer)) : 96);
            if (about) PrintAbout(about);
            setContext(host);
        }
        if (viewer) SendMessageW(viewer, WM_CLOSE, 0, 0);
        if (about) SendMessageW(about, WM_CLOSE, 0, 0);
    }
    CoUninitialize();
    std::fflush(stdout);
    return exitCode;
}
