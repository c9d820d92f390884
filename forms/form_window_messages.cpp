// The window core's procedures: what every form answers.
#include "forms/form_window.h"

#include <algorithm>

#include "core/module.h"
#include "forms/dpi_scope.h"

namespace quillpost {
namespace {

using form::ControlKind;
using form::ControlRow;
using form::FormFrame;

// Borderless, but with a system menu and a minimize box, so that the taskbar entry can
// minimize, restore and close it like any other window.
constexpr DWORD kBorderlessStyle = WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kBorderlessExStyle = WS_EX_APPWINDOW;  // a taskbar entry, to find a minimized form again

}  // namespace

// Entered in the module's running scope: a handler may pump (a message box, the browser's teardown) and
// the window may be destroyed meanwhile, giving back the window's own keep.
LRESULT FormWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    OwnComCalls own;  // COM begun or ended by the browser while we handle a message is not the host's
    if (message == WM_NCCREATE) {
        auto* self = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_ = window;
        self->keep_.emplace();  // an existing window keeps the module, its code and its class
        ScaleFrameWithDpi(window);
        if (self->form_.frame == FormFrame::Borderless) {
            // Placed by the system as an overlapped window; no frame has been computed yet.
            SetWindowLongPtrW(window, GWL_STYLE, kBorderlessStyle);
            SetWindowLongPtrW(window, GWL_EXSTYLE, kBorderlessExStyle);
        }
    }
    auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    if (self->abandoned_) {
        // The thread has ended its run without ending COM: give back only the counts.
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            self->keep_.reset();
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->OnMessage(window, message, wParam, lParam);
}

LRESULT FormWindow::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT answer = 0;
    if (OnInput(message, wParam, lParam, &answer)) return answer;
    switch (message) {
    case WM_ERASEBKGND:
        if (form_.frame == FormFrame::Borderless) return 1;  // its controls cover the client area
        break;
    case WM_GETOBJECT:
        if (LRESULT object = AnswerAccessible(form::kOnForm, wParam, lParam)) return object;
        break;
    case WM_CLOSE:
        OnClose();
        return 0;
    case kGetDpiScaledSize:
    case WM_DPICHANGED:
        return OnDpiMessage(message, wParam, lParam);
    case WM_DESTROY:
        stage_ = Stage::Unloading;
        OnUnload();  // the controls still exist: a browser deactivates while its window is alive
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        dialogKeys_.Reset();
        OnDestroyed();
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The mouse, the keyboard and the focus: true, with the answer, when the form has answered.
bool FormWindow::OnInput(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* answer)
{
    switch (message) {
    case WM_COMMAND:
        if (lParam) {
            OnCommand(LOWORD(wParam), HIWORD(wParam));
        } else if (LOWORD(wParam) == IDCANCEL) {
            PostMessageW(window_, WM_CLOSE, 0, 0);  // Escape, from the dialog manager
        }
        return true;
    case WM_NEXTDLGCTL:
        MoveFocus(wParam, lParam);
        return true;
    case WM_NCHITTEST:
        // What a borderless form's children leave to it (HTTRANSPARENT) is its caption.
        *answer = HTCAPTION;
        return form_.frame == FormFrame::Borderless;
    case WM_SETCURSOR:
        *answer = TRUE;
        return OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam));
    case WM_SETFOCUS:
        // Activation gives the focus to the frame, which passes it on to a control.
        return PassFocusOn();
    default:
        return false;
    }
}

// As the system sends them when the window's DPI changes: WM_GETDPISCALEDSIZE (per-monitor v2
// only), then WM_DPICHANGED.
LRESULT FormWindow::OnDpiMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DPICHANGED) {
        OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    }
    // The table's size at the new DPI: the frame and the twips' rounding do not scale linearly,
    // and the WM_DPICHANGED that follows then suggests a rectangle that is taken as it comes.
    const int dpi = static_cast<int>(wParam);
    if (dpi <= 0) return FALSE;
    *reinterpret_cast<SIZE*>(lParam) = WindowSizeAt(dpi);
    return TRUE;
}

SIZE FormWindow::WindowSizeAt(int dpi) const
{
    return WindowSizeForClient(window_, form::PixelClientSize(form_, dpi), dpi);
}

void FormWindow::OnCommand(int id, int notification)
{
    const int index = form::RowOfControlId(id);
    if (index < 0 || index >= static_cast<int>(controls_.size())) return;
    const ControlRow& row = controls_[index];
    // The second press of a double click arrives as STN_DBLCLK: it is not another click.
    const bool clicked = (row.kind == ControlKind::PushButton && notification == BN_CLICKED) ||
                         (row.kind == ControlKind::Label && notification == STN_CLICKED && IsLink(row));
    if (clicked && stage_ == Stage::Loaded) OnClick(row);
}

bool FormWindow::OnSetCursor(HWND target, UINT hitTest)
{
    if (hitTest != HTCLIENT || GetParent(target) != window_) return false;
    const int index = form::RowOfControlId(GetDlgCtrlID(target));
    if (index < 0 || index >= static_cast<int>(controls_.size())) return false;
    const ControlRow& row = controls_[index];
    if (row.kind != ControlKind::Label || !IsLink(row)) return false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
}

void FormWindow::OnClose()
{
    if (stage_ == Stage::Loading) {
        closeAsked_ = true;  // carried out once the load has completed
    } else if (stage_ == Stage::Loaded) {
        Unload();
    }
}

void FormWindow::OnDestroyed()
{
    // The controls are gone by now, so their fonts can go too.
    window_ = nullptr;
    std::fill(std::begin(controlWindows_), std::end(controlWindows_), nullptr);
    regularFont_.Reset();
    underlinedFont_.Reset();
    UnwatchComEnd(this);
    stage_ = Stage::Unloaded;
    keep_.reset();
}

}  // namespace quillpost
