// The form's controls, made from its table: fonts at the window's DPI, the controls themselves
// (standard labels and push buttons here, the form's own kinds through CreateFormControl), and
// the stacking order that decides what shows where they overlap.
#include <algorithm>

#include "core/module.h"
#include "forms/form_window.h"
#include "forms/twips.h"
#include "forms/window_class.h"

namespace quillpost {
namespace {

using form::ControlKind;
using form::ControlRow;

HRESULT LastError() { return HRESULT_FROM_WIN32(GetLastError()); }

HFONT CreateFormFont(bool underlined, int dpi)
{
    LOGFONTW font{};
    font.lfHeight = -MulDiv(form::kFormFont.hundredthsOfPoint, dpi, 72 * 100);
    font.lfWeight = form::kFormFont.weight;
    font.lfUnderline = underlined;
    font.lfCharSet = form::kFormFont.charSet;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
    lstrcpynW(font.lfFaceName, form::kFormFont.face, LF_FACESIZE);
    return CreateFontIndirectW(&font);
}

// Stacks the controls of one parent in `order`, top first. Only those out of place move, from
// the bottom up: so the labels move rather than the browser, which lays itself out again when
// it is moved.
void StackInOrder(std::span<const HWND> order)
{
    HWND below = nullptr;
    for (auto control = order.rbegin(); control != order.rend(); ++control) {
        if (GetWindow(*control, GW_HWNDNEXT) != below) {
            HWND above = below ? GetWindow(below, GW_HWNDPREV) : nullptr;
            HWND insertAfter = !below ? HWND_BOTTOM : above ? above : HWND_TOP;
            SetWindowPos(*control, insertAfter, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
        below = *control;
    }
}

DWORD StandardStyle(const ControlRow& row, bool link)
{
    // Clipping siblings lets the stacking order decide what shows where controls overlap.
    constexpr DWORD kCommon = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    if (row.kind == ControlKind::PushButton) return kCommon | WS_TABSTOP | BS_PUSHBUTTON;
    // A label that answers no click lets the mouse through to what lies under it.
    return kCommon | SS_LEFT | SS_NOPREFIX | (link ? SS_NOTIFY | WS_TABSTOP : 0);
}

}  // namespace

HRESULT FormWindow::CreateFormControl(const ControlRow& row, HWND, HWND* created)
{
    *created = nullptr;
    return Fail(E_NOTIMPL, L" cannot create its control ", row.name);
}

HRESULT FormWindow::CreateFonts()
{
    UniqueFont regular(CreateFormFont(false, dpi_)), underlined(CreateFormFont(true, dpi_));
    if (!regular || !underlined) return Fail(E_OUTOFMEMORY, L"'s font could not be created");
    // Controls that wrote in the old fonts take the new ones before those go.
    for (size_t index = 0; index < controls_.size(); ++index) {
        const ControlRow& row = controls_[index];
        if (!controlWindows_[index] || (row.kind != ControlKind::Label && row.kind != ControlKind::PushButton))
            continue;
        const HFONT font = row.underlined ? underlined.Get() : regular.Get();
        SendMessageW(controlWindows_[index], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    regularFont_.Reset(regular.Release());
    underlinedFont_.Reset(underlined.Release());
    return S_OK;
}

HRESULT FormWindow::CreateControls()
{
    std::fill(std::begin(controlWindows_), std::end(controlWindows_), nullptr);
    focusRow_ = -1;
    for (size_t index = 0; index < controls_.size(); ++index) {
        const ControlRow& row = controls_[index];
        HWND parent = row.parent == form::kOnForm ? window_ : controlWindows_[row.parent];
        if (!parent) return Fail(E_ABORT, L" was destroyed while it loaded");
        HWND created = nullptr;
        if (HRESULT hr = CreateControl(row, parent, &created); FAILED(hr)) return hr;
        // Creating the browser may pump, and the form be destroyed meanwhile.
        if (!window_) return Fail(E_ABORT, L" was destroyed while it loaded");
        controlWindows_[index] = created;
    }
    StackControls();
    return S_OK;
}

HRESULT FormWindow::CreateControl(const ControlRow& row, HWND parent, HWND* created)
{
    *created = nullptr;
    if (row.kind == ControlKind::ImageArea) return S_OK;  // drawn and answered by its container
    if (row.kind != ControlKind::Label && row.kind != ControlKind::PushButton)
        return CreateFormControl(row, parent, created);
    const bool isButton = row.kind == ControlKind::PushButton, isLink = !isButton && IsLink(row);
    const RECT box = ControlRect(row);
    HWND control = CreateWindowExW(0, isButton ? L"BUTTON" : L"STATIC", row.caption, StandardStyle(row, isLink),
                                   box.left, box.top, box.right - box.left, box.bottom - box.top, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(form::ControlId(RowIndex(row)))),
                                   ModuleInstance(), nullptr);
    if (!control) return Fail(LastError(), L"'s control ", row.name, L" could not be created");
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(Font(row.underlined)), FALSE);
    if (isButton || isLink) {
        // The controls that hold the focus are where Tab, Escape, Enter and Space arrive.
        SetWindowLongPtrW(control, GWLP_USERDATA, GetWindowLongPtrW(control, GWLP_WNDPROC));
        entry::Subclass<&FormWindow::ControlProc>(control);
    }
    *created = control;
    return S_OK;
}

// The tab stops lie on top, in their tab order, which is the order the dialog manager follows;
// below them controls with windows of their own, then the other labels, later ones above
// earlier ones (the order that raising each to the top in turn, labels first, would leave). Where
// a link meets another label, the link is the later one and lies above it either way.
void FormWindow::StackControls()
{
    HWND wanted[form::kMaxControls];  // top first
    int tabStops[form::kMaxControls];
    const int stops = TabStops(tabStops);
    std::size_t count = 0;
    for (int stop = 0; stop < stops; ++stop) wanted[count++] = controlWindows_[tabStops[stop]];
    for (bool labels : {false, true}) {
        for (std::size_t index = controls_.size(); index-- > 0;) {
            const bool isStop = std::find(tabStops, tabStops + stops, static_cast<int>(index)) != tabStops + stops;
            if ((controls_[index].kind == ControlKind::Label) == labels && controlWindows_[index] && !isStop)
                wanted[count++] = controlWindows_[index];
        }
    }
    bool stacked[form::kMaxControls] = {};
    for (std::size_t first = 0; first < count; ++first) {
        if (stacked[first]) continue;
        const HWND parent = GetParent(wanted[first]);
        HWND siblings[form::kMaxControls];
        std::size_t sharing = 0;
        for (std::size_t index = first; index < count; ++index) {
            if (stacked[index] || GetParent(wanted[index]) != parent) continue;
            siblings[sharing++] = wanted[index];
            stacked[index] = true;
        }
        StackInOrder({siblings, sharing});
    }
}

int FormWindow::RowIndex(const ControlRow& row) const
{
    if (controls_.empty() || &row < controls_.data() || &row >= controls_.data() + controls_.size()) return -1;
    return static_cast<int>(&row - controls_.data());
}

void FormWindow::PlaceFormControl(const ControlRow&, HWND control, const RECT& rect)
{
    SetWindowPos(control, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace quillpost
