// The keyboard in a form. The host's message loop calls no IsDialogMessage, so a form that takes
// dialog keys (the About window) has a message hook of its thread offer each key to the dialog
// manager: it moves the focus on Tab, Shift+Tab and the arrows (WM_NEXTDLGCTL, which a dialog's
// procedure would answer and the form answers itself) and turns Escape into IDCANCEL. The push
// button and the link labels take Enter themselves and act on its first press only; a link label
// answers Space as a click, and draws the system's focus cue while it has the focus.
#include "forms/form_window.h"

#include "core/entry_points.h"
#include "forms/window_entry.h"
#include "forms/gdi_object.h"
#include "core/module.h"

namespace quillpost {
namespace {

using form::ControlKind;
using form::ControlRow;

// A key held down repeats its WM_KEYDOWN; only the first one is a press.
bool FirstPress(LPARAM keyData) { return (keyData & (1 << 30)) == 0; }

// A dotted rectangle around the label's text, over what the label has just painted.
void DrawFocusCue(HWND label)
{
    WindowDc dc(label);
    if (!dc.Get()) return;
    wchar_t caption[256];
    const int length = GetWindowTextW(label, caption, ARRAYSIZE(caption));
    RECT text{};
    GetClientRect(label, &text);
    const HGDIOBJ font = SelectObject(dc.Get(), reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
    DrawTextW(dc.Get(), caption, length, &text, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    SelectObject(dc.Get(), font);
    DrawFocusRect(dc.Get(), &text);
}

}  // namespace

// The table's own tab stops (push buttons, the browser) in its order, then the link labels, which
// the table leaves out of it.
int FormWindow::TabStops(int (&rows)[form::kMaxControls]) const
{
    int count = 0;
    for (bool links : {false, true}) {
        for (int index = 0; index < static_cast<int>(controls_.size()); ++index) {
            const ControlRow& row = controls_[index];
            const bool stop = links ? row.kind == ControlKind::Label && IsLink(row)
                                    : row.kind == ControlKind::PushButton || row.kind == ControlKind::WebBrowser;
            if (stop && controlWindows_[index]) rows[count++] = index;
        }
    }
    return count;
}

bool FormWindow::PassFocusOn()
{
    int rows[form::kMaxControls];
    const int count = TabStops(rows);
    if (count == 0) return false;
    const int row = focusRow_ >= 0 && controlWindows_[focusRow_] ? focusRow_ : rows[0];
    FocusControl(controls_[row], controlWindows_[row]);
    return true;
}

// Tab and Shift+Tab from the dialog manager (WM_NEXTDLGCTL, which a dialog's own procedure would
// answer): the next tab stop in the order above, or the control it names.
void FormWindow::MoveFocus(WPARAM wParam, LPARAM lParam)
{
    const HWND named = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam) : nullptr;
    const int focused = form::RowOfControlId(GetDlgCtrlID(named ? named : GetFocus()));
    int rows[form::kMaxControls];
    const int count = TabStops(rows);
    int at = 0;
    while (at < count && rows[at] != focused) ++at;
    if (at == count) return;
    const int next = named ? focused : rows[(at + (wParam ? count - 1 : 1)) % count];
    FocusControl(controls_[next], controlWindows_[next]);
}

// Enter and Space on a control that holds the focus, which asks the dialog manager for them.
bool FormWindow::OnControlKey(HWND control, int row, WPARAM key, LPARAM keyData)
{
    const ControlKind kind = controls_[row].kind;
    switch (key) {
    case VK_RETURN:
        if (kind == ControlKind::PushButton) {
            if (FirstPress(keyData)) SendMessageW(control, BM_CLICK, 0, 0);  // as a held Space clicks once
            return true;
        }
        [[fallthrough]];
    case VK_SPACE:
        if (kind != ControlKind::Label) return false;  // a push button presses itself on Space
        // Exactly what the label sends for a click.
        if (FirstPress(keyData))
            SendMessageW(window_, WM_COMMAND, MAKEWPARAM(form::ControlId(row), STN_CLICKED),
                         reinterpret_cast<LPARAM>(control));
        return true;
    default:
        return false;
    }
}

// Only a window of our forms' classes (whose procedure is the form core's) holds a FormWindow.
FormWindow* FormWindow::FromWindow(HWND window)
{
    if (!window || GetClassLongPtrW(window, GCLP_WNDPROC) !=
                       reinterpret_cast<ULONG_PTR>(&entry::WindowProcedure<&FormWindow::WindowProc>))
        return nullptr;
    return reinterpret_cast<FormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void FormWindow::TakeDialogKeys()
{
    if (form_.keys != form::FormKeys::Dialog || dialogKeys_) return;
    // Without the hook the form still answers the mouse and its controls' own keys.
    dialogKeys_.Reset(entry::HookThisThreadsQueue<&FormWindow::DialogKeys>());
}

// Entered in the module's running scope and in the form's DPI context: the dialog manager may close the
// form, and so remove this hook.
bool FormWindow::DialogKeys(MSG& message)
{
    if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST) return false;
    const HWND root = GetAncestor(message.hwnd, GA_ROOT);
    const FormWindow* form = FromWindow(root);
    return form && form->form_.keys == form::FormKeys::Dialog && IsDialogMessageW(root, &message);
}

LRESULT FormWindow::ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(control, GWLP_USERDATA));
    const HWND root = GetAncestor(control, GA_ROOT);
    FormWindow* self = FromWindow(root);
    const int row = form::RowOfControlId(GetDlgCtrlID(control));
    if (!self || self->window_ != root || row < 0 || row >= static_cast<int>(self->controls_.size()))
        return CallWindowProcW(original, control, message, wParam, lParam);
    const bool link = self->controls_[row].kind == ControlKind::Label;  // the only labels that hold the focus
    switch (message) {
    case WM_GETDLGCODE:
        // Enter goes to the control itself, which acts on its first press only.
        if (const auto* key = reinterpret_cast<const MSG*>(lParam); key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN)
            return CallWindowProcW(original, control, message, wParam, lParam) | DLGC_WANTMESSAGE;
        break;
    case WM_KEYDOWN:
        if (self->OnControlKey(control, row, wParam, lParam)) return 0;
        break;
    case WM_SETFOCUS:
        self->focusRow_ = row;
        [[fallthrough]];
    case WM_KILLFOCUS:
        if (link) InvalidateRect(control, nullptr, TRUE);
        break;
    case WM_PAINT:
        if (link && GetFocus() == control) {
            const LRESULT painted = CallWindowProcW(original, control, message, wParam, lParam);
            DrawFocusCue(control);
            return painted;
        }
        break;
    case WM_GETOBJECT:
        if (!link) break;
        if (LRESULT answer = self->AnswerAccessible(row, wParam, lParam)) return answer;
        break;
    default:
        break;
    }
    return CallWindowProcW(original, control, message, wParam, lParam);
}

}  // namespace quillpost
