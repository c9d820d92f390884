// Creating the on-screen viewer and its controls from the control table, and the window's
// own messages.
#include "viewer/form1.h"

#include "base/module.h"
#include "base/window_class.h"
#include "viewer/form1_layout.h"
#include "viewer/picture.h"

namespace quillpost {
namespace {

namespace layout = form1_layout;

constexpr wchar_t kClassName[] = L"QuillpostViewer";
// Borderless, but with a system menu and a minimize box, so that the taskbar entry can
// minimize, restore and close it like any other window.
constexpr DWORD kStyle = WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_APPWINDOW;  // a taskbar entry, to find a minimized viewer again

HRESULT LastError() { return HRESULT_FROM_WIN32(GetLastError()); }

// The system places only overlapped windows by default (a popup given CW_USEDEFAULT lands at
// 0,0), so the window is placed as an overlapped one and then loses its frame.
HWND CreateAtDefaultPlacement(void* owner)
{
    const SIZE client = layout::ClientPixels();
    HWND window = CreateWindowExW(kExStyle, kClassName, layout::kCaption, WS_OVERLAPPED | WS_CLIPCHILDREN,
                                  CW_USEDEFAULT, CW_USEDEFAULT, client.cx, client.cy, nullptr, nullptr,
                                  ModuleInstance(), owner);
    if (!window) return nullptr;
    SetWindowLongPtrW(window, GWL_STYLE, kStyle);
    SetWindowPos(window, nullptr, 0, 0, client.cx, client.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return window;
}

HFONT CreateDefaultFont(int heightPixels)
{
    return CreateFontW(-heightPixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, layout::kDefaultFontFace);
}

}  // namespace

HRESULT Form1::CreateControls()
{
    static const bool registered = RegisterFreshClass(kClassName, &Form1::WindowProc);
    if (!registered) return E_FAIL;
    if (!CreateAtDefaultPlacement(this)) return LastError();  // sets window_ on WM_NCCREATE
    HWND pic = picture::Create(window_, layout::PixelRect(layout::kPic));
    if (!pic) return LastError();
    // Table order is creation order, which is also the tab order: main, then Label1.
    if (HRESULT hr = browser_.Open(pic, layout::PixelRect(layout::kMain)); FAILED(hr)) return hr;
    return CreateHeading(pic);
}

HRESULT Form1::CreateHeading(HWND pic)
{
    const RECT area = layout::PixelRect(layout::kLabel1);
    headingFont_.Reset(CreateDefaultFont(TwipsToPixels(layout::kDefaultFontHeight)));
    if (!headingFont_) return E_OUTOFMEMORY;
    // A plain static: it takes no focus and lets clicks through, so the strip drags under it too.
    heading_ = CreateWindowExW(0, L"STATIC", layout::kLabel1.content, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                               area.left, area.top, area.right - area.left, area.bottom - area.top,
                               pic, nullptr, ModuleInstance(), nullptr);
    if (!heading_) return LastError();
    SendMessageW(heading_, WM_SETFONT, reinterpret_cast<WPARAM>(headingFont_.Get()), FALSE);
    return S_OK;
}

void Form1::OnDestroy()
{
    // Children still exist here: the control deactivates while its window is alive.
    browser_.Close();
}

void Form1::OnNcDestroy()
{
    window_ = nullptr;
    heading_ = nullptr;
    headingFont_.Reset();
    UnlockModule();
}

LRESULT CALLBACK Form1::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_ = window;
        LockModule();  // a loaded viewer keeps the module loaded
    }
    auto* self = reinterpret_cast<Form1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_ERASEBKGND:
        return 1;  // pic covers the whole client area
    case WM_DESTROY:
        self->OnDestroy();
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->OnNcDestroy();
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace quillpost
