// A form as data: the window and its controls, in twips as the layout is drawn, in tab order.
// The window core (form_window.h) creates both forms from such tables.
#pragma once

#include <windows.h>

#include <cstddef>
#include <span>

#include "forms/twips.h"

namespace quillpost::form {

enum class ControlKind {
    Label,        // a static caption; a form may answer its clicks (a link label)
    PushButton,   // takes the focus; Enter presses it
    PictureArea,  // a container drawn by its form
    WebBrowser,   // the system's browser control, hosted by its form
    ImageArea,    // windowless: a region of its container, drawn and answered by the container
};

// `parent` of a control that lies directly on the form.
inline constexpr int kOnForm = -1;
// `tabIndex` of a control that cannot take the focus and has no place in the tab order.
inline constexpr int kNoTabIndex = -1;

struct ControlRow {
    const wchar_t* name;
    ControlKind kind;
    int parent;                    // row index of the container, or kOnForm
    int left, top, width, height;  // twips, from the container's client origin
    int tabIndex;
    const wchar_t* caption;  // caption, or what a browser stores as its location
    bool underlined;
};

// A part of a form's picture that the user presses like a push button: the windowless control
// that lies over it, the system command a press posts to the form, and its name for assistive
// technology. Where two meet, the later in a form's list lies on top.
struct DrawnButton {
    const wchar_t* name;
    const ControlRow* area;
    WPARAM command;
};

enum class FormFrame {
    Borderless,  // a popup with a taskbar entry; the form draws its own frame
    Sizable,     // title bar, sizing border, minimize and maximize boxes
};

// Who moves the focus among the form's controls: the page it hosts (the viewer), or the system's
// dialog manager (Tab, Shift+Tab, arrows, Escape), called from a message hook of the form's thread.
enum class FormKeys {
    Own,
    Dialog,
};

struct FormRow {
    const wchar_t* caption;
    const wchar_t* className;
    FormFrame frame;
    int clientWidth, clientHeight;  // twips
    FormKeys keys = FormKeys::Own;
};

// A control's identifier: its row, past the dialog manager's own (IDOK, IDCANCEL, ...), so that
// Escape's IDCANCEL names no control.
inline constexpr int kFirstControlId = 100;
constexpr int ControlId(int row) { return kFirstControlId + row; }
constexpr int RowOfControlId(int id) { return id - kFirstControlId; }

// Every control of both forms writes in "MS Sans Serif" 8.25 pt, regular, character set 0.
struct FontRow {
    const wchar_t* face;
    int hundredthsOfPoint;
    int weight;
    BYTE charSet;
};
inline constexpr FontRow kFormFont{L"MS Sans Serif", 825, FW_NORMAL, 0};

// Each edge is converted on its own, so that controls that meet in twips meet in pixels.
constexpr RECT PixelRect(const ControlRow& row, int dpi = kLayoutDpi)
{
    return {TwipsToPixels(row.left, dpi), TwipsToPixels(row.top, dpi), TwipsToPixels(row.left + row.width, dpi),
            TwipsToPixels(row.top + row.height, dpi)};
}

constexpr SIZE PixelClientSize(const FormRow& form, int dpi = kLayoutDpi)
{
    return {TwipsToPixels(form.clientWidth, dpi), TwipsToPixels(form.clientHeight, dpi)};
}

// The most controls a form may have: a window keeps its controls' handles in place.
inline constexpr std::size_t kMaxControls = 32;

// Controls are created in table order, which must therefore be the tab order; containers come
// before what they hold.
constexpr bool IsCreatable(std::span<const ControlRow> rows)
{
    if (rows.size() > kMaxControls) return false;
    int nextTab = 0;
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        if (rows[row].parent != kOnForm && (rows[row].parent < 0 || rows[row].parent >= row)) return false;
        if (rows[row].tabIndex == kNoTabIndex) continue;
        if (rows[row].tabIndex != nextTab++) return false;
    }
    return true;
}

}  // namespace quillpost::form
