#include "viewer/picture.h"

#include <windowsx.h>

#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <utility>

#include "forms/gdi_object.h"
#include "core/module.h"
#include "forms/twips.h"
#include "forms/window_class.h"
#include "viewer/form1_layout.h"
#include "viewer/skin.h"

namespace quillpost::picture {
namespace {

constexpr int kTitleStripBottom = 27;               // last skin row of the drawn title strip, at 96 dpi
constexpr COLORREF kHeadingInk = RGB(0x20, 0x30, 0x50);  // dark on the pale strip
constexpr UINT kSetDpi = WM_USER + 1;                  // wParam: the new DPI; answers TRUE when done

// The heading's background is a slice of the title strip this many pixels wide (at 96 dpi), from
// the top of the skin down to the strip's last row. Behind the heading every column of the strip
// is the same, so the slice repeated across paints exactly the skin there.
constexpr int kSliceWidth = 8;
static_assert(form1_layout::PixelRect(form1_layout::kLabel1).bottom <= kTitleStripBottom + 1,
              "the heading must lie within the title strip");

struct State {
    int dpi = kLayoutDpi;
    SIZE skinSize{};
    UniqueBitmap skin;
    UniqueBrush headingBrush;  // paints the label with the strip behind it
    const form::DrawnButton* pressed = nullptr;
};

State* StateOf(HWND window) { return reinterpret_cast<State*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

bool Contains(const RECT& rect, POINT point) { return PtInRect(&rect, point) != FALSE; }

// The drawn button under the point: the last one listed lies on top where they meet.
const form::DrawnButton* ButtonAt(const State& state, POINT point)
{
    const auto& buttons = form1_layout::kDrawnButtons;
    for (auto button = std::rbegin(buttons); button != std::rend(buttons); ++button) {
        if (Contains(form1_layout::PixelRect(*button->area, state.dpi), point)) return &*button;
    }
    return nullptr;
}

void Paint(HWND window)
{
    State* state = StateOf(window);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    // White beyond the skin's right and bottom edges, where pic is larger than its picture.
    const SIZE skin = state->skinSize;
    ExcludeClipRect(dc, 0, 0, skin.cx, skin.cy);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SelectClipRgn(dc, nullptr);
    MemoryDc source(dc, state->skin.Get());
    BitBlt(dc, 0, 0, skin.cx, skin.cy, source.Get(), 0, 0, SRCCOPY);
    EndPaint(window, &paint);
}

// The label draws its text over the part of the skin that lies behind it.
LRESULT LabelColors(HWND window, HDC dc, HWND label)
{
    RECT area;
    GetWindowRect(label, &area);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&area), 2);
    SetBrushOrgEx(dc, -area.left, -area.top, nullptr);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kHeadingInk);
    return reinterpret_cast<LRESULT>(StateOf(window)->headingBrush.Get());
}

// The title strip, but for its drawn glyphs, is the window's caption: the picture leaves it to
// the window (HTTRANSPARENT), which answers HTCAPTION, and the system moves the window (dragging
// it, snapping it, and Move on the system menu by keyboard). Everything else is the picture's.
LRESULT HitTest(HWND window, LPARAM screenPoint)
{
    POINT point{GET_X_LPARAM(screenPoint), GET_Y_LPARAM(screenPoint)};
    ScreenToClient(window, &point);
    const State& state = *StateOf(window);
    if (point.y > ScaledPixels(kTitleStripBottom, state.dpi) || ButtonAt(state, point)) return HTCLIENT;
    return HTTRANSPARENT;
}

void ButtonDown(HWND window, POINT point)
{
    State* state = StateOf(window);
    state->pressed = ButtonAt(*state, point);
    if (state->pressed) SetCapture(window);
}

// A glyph acts when the mouse button goes up over the glyph it went down on, like a button.
void ButtonUp(HWND window, POINT point)
{
    State* state = StateOf(window);
    const form::DrawnButton* pressed = state->pressed;
    ReleaseCapture();  // clears the state through WM_CAPTURECHANGED
    if (!pressed || ButtonAt(*state, point) != pressed) return;
    PostMessageW(GetAncestor(window, GA_ROOT), WM_SYSCOMMAND, pressed->command, 0);
}

// A pattern brush of the strip's slice at the heading's left edge, copied out of the skin by GDI
// in whatever format the skin holds it. The brush origin that LabelColors sets puts the slice's
// top row at pic's top.
HBRUSH CreateHeadingBrush(HBITMAP skinSection, int dpi)
{
    BITMAP held{};
    if (!GetObjectW(skinSection, sizeof(held), &held)) return nullptr;
    const int width = ScaledPixels(kSliceWidth, dpi), height = ScaledPixels(kTitleStripBottom + 1, dpi);
    const int left = form1_layout::PixelRect(form1_layout::kLabel1, dpi).left;
    if (left + width > held.bmWidth || height > held.bmHeight) return nullptr;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};  // bottom-up
    void* sliceBits = nullptr;
    UniqueBitmap slice(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &sliceBits, nullptr, 0));
    if (!slice) return nullptr;
    {
        MemoryDc from(nullptr, skinSection), to(nullptr, slice.Get());
        if (!from.Get() || !to.Get() || !BitBlt(to.Get(), 0, 0, width, height, from.Get(), left, 0, SRCCOPY))
            return nullptr;
    }
    GdiFlush();  // the copy reaches the slice's bits before they are read
    const std::size_t rowsBytes = std::size_t{static_cast<unsigned>(width * 3 + 3)} / 4 * 4 * height;
    std::unique_ptr<BYTE[]> packed(new (std::nothrow) BYTE[sizeof(BITMAPINFOHEADER) + rowsBytes]);
    if (!packed) return nullptr;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(rowsBytes);
    std::memcpy(packed.get(), &info.bmiHeader, sizeof(BITMAPINFOHEADER));
    std::memcpy(packed.get() + sizeof(BITMAPINFOHEADER), sliceBits, rowsBytes);
    return CreateDIBPatternBrushPt(packed.get(), DIB_RGB_COLORS);
}

// The skin and the heading's brush at `dpi`, in place of the ones the state has; false (and the
// state unchanged) when either cannot be made.
bool TakeSkin(State& state, int dpi)
{
    UniqueBitmap skin(skin::CreateBitmap(dpi));
    if (!skin) return false;
    UniqueBrush brush(CreateHeadingBrush(skin.Get(), dpi));
    if (!brush) return false;
    state.headingBrush.Reset(brush.Release());
    state.skin.Reset(skin.Release());
    BITMAP made{};
    GetObjectW(state.skin.Get(), sizeof(made), &made);
    state.dpi = dpi;
    state.skinSize = {made.bmWidth, made.bmHeight};
    return true;
}

bool CreateState(HWND window, int dpi)
{
    auto* state = new (std::nothrow) State;
    if (!state) return false;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    return TakeSkin(*state, dpi);
}

BOOL ChangeDpi(HWND window, int dpi)
{
    if (dpi == StateOf(window)->dpi) return TRUE;
    if (!TakeSkin(*StateOf(window), dpi)) return FALSE;
    InvalidateRect(window, nullptr, FALSE);
    return TRUE;
}

LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (message != WM_NCCREATE && !StateOf(window)) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_NCCREATE:
        if (!CreateState(window, static_cast<int>(reinterpret_cast<INT_PTR>(
                                     reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams))))
            return FALSE;
        break;
    case kSetDpi:
        return ChangeDpi(window, static_cast<int>(wParam));
    case WM_NCDESTROY:
        delete StateOf(window);
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        break;
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT covers every pixel
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_CTLCOLORSTATIC:
        return LabelColors(window, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case STM_GETIMAGE:  // as a picture control answers: the section it draws, which it keeps
        return wParam == IMAGE_BITMAP ? reinterpret_cast<LRESULT>(StateOf(window)->skin.Get()) : 0;
    case WM_NCHITTEST:
        return HitTest(window, lParam);
    case WM_LBUTTONDOWN:
        ButtonDown(window, point);
        return 0;
    case WM_LBUTTONUP:
        ButtonUp(window, point);
        return 0;
    case WM_CAPTURECHANGED:
        StateOf(window)->pressed = nullptr;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

HWND Create(HWND parent, const RECT& area, int dpi)
{
    if (HRESULT hr = EnsureWindowClass(WindowClassRow::Of<&WindowProc>(kClassName, nullptr)); FAILED(hr)) {
        SetLastError(HRESULT_CODE(hr));
        return nullptr;
    }
    // Clip the children: the browser pane paints itself and must not be painted over.
    return CreateWindowExW(0, kClassName, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, area.left, area.top,
                           area.right - area.left, area.bottom - area.top, parent, nullptr, ModuleInstance(),
                           reinterpret_cast<void*>(static_cast<INT_PTR>(dpi)));
}

bool SetDpi(HWND picture, int dpi) { return SendMessageW(picture, kSetDpi, static_cast<WPARAM>(dpi), 0) != FALSE; }

}  // namespace quillpost::picture
