// What assistive technology is told of a form, for the object of accessible_object.cpp, in three
// jobs: the form's client area (accessible_client_area.cpp), a link label (accessible_link.cpp) and the
// parts of the form's picture that act like push buttons (accessible_buttons.cpp). Each job is
// one row of ElementKind and the few answers only it gives.
#pragma once

#include <windows.h>

#include <span>
#include <string_view>

#include "forms/form_table.h"

namespace quillpost::accessible {

// What one call is about, found again through the window at every call and only inside the
// window's DPI context (accessible_object.cpp), where positions are the screen's physical pixels
// that assistive technology expects, whatever the context of the thread that called.
struct Element {
    HWND form = nullptr;            // the form's window
    HWND window = nullptr;          // the object's own: the form's, or its link label's
    int row = form::kOnForm;        // the link label's row, or kOnForm
    int dpi = kLayoutDpi;           // the form's layout DPI
    std::span<const HWND> controls;               // the form's control windows, by row
    std::span<const form::DrawnButton> buttons;   // the object's drawn buttons; a link has none
    HWND nameLabel = nullptr;                     // the label whose text names the form, if any
    const form::DrawnButton* button = nullptr;    // the element asked about; nullptr: the object
};

// How one kind of element answers.
struct ElementKind {
    LONG role;
    const wchar_t* defaultAction;  // nullptr: none
    HRESULT (*name)(const Element&, BSTR* out);
    LONG (*state)(const Element&);
    RECT (*screenRect)(const Element&);
    HRESULT (*select)(const Element&, LONG flags);
    HRESULT (*act)(const Element&);  // the default action
};

extern const ElementKind kFormClient;
extern const ElementKind kLinkLabel;
extern const ElementKind kDrawnButton;

inline const ElementKind& KindOf(const Element& element)
{
    if (element.button) return kDrawnButton;
    return element.row == form::kOnForm ? kFormClient : kLinkLabel;
}

// Shared by the kinds (accessible_client_area.cpp).
HRESULT Text(std::wstring_view text, BSTR* out);
HRESULT WindowText(HWND window, BSTR* out);
HRESULT Long(LONG value, VARIANT* out);
RECT ClientAreaOnScreen(const Element& element);  // of the object's own window
// Visible, focusable, focused: what a window that takes the focus tells of itself.
LONG FocusableState(HWND window);
HRESULT NoSelection(const Element&, LONG);
HRESULT NoAction(const Element&);

// The topmost drawn button under a point on the screen (accessible_buttons.cpp); 0 for none.
LONG DrawnButtonAt(const Element& self, POINT screen);

}  // namespace quillpost::accessible
