// The parts of a form's picture that act like push buttons: the system's objects see only the
// picture, so each is an element of the form's object, with the name and press of a button.
#include "forms/accessible_elements.h"

#include <oleacc.h>

namespace quillpost::accessible {
namespace {

HRESULT ButtonName(const Element& element, BSTR* out) { return Text(element.button->name, out); }

LONG ButtonState(const Element& element)
{
    return IsWindowVisible(element.window) ? 0 : STATE_SYSTEM_INVISIBLE;  // never the focus: the picture has it
}

// Where the form lays the button's image area out, in its container's client area at the form's
// DPI: physical pixels, mapped to the screen in the window's own context.
RECT ButtonScreenRect(const Element& element)
{
    const form::ControlRow& area = *element.button->area;
    RECT rect = form::PixelRect(area, element.dpi);
    const HWND container = area.parent == form::kOnForm ? element.form : element.controls[area.parent];
    MapWindowPoints(container, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Posted, as a click arrives: the caller is not kept waiting while the window closes under it.
HRESULT Press(const Element& element)
{
    return PostMessageW(element.form, WM_SYSCOMMAND, element.button->command, 0) ? S_OK
                                                                                  : HRESULT_FROM_WIN32(GetLastError());
}

}  // namespace

const ElementKind kDrawnButton{ROLE_SYSTEM_PUSHBUTTON, L"Press", ButtonName, ButtonState, ButtonScreenRect,
                               NoSelection, Press};

LONG DrawnButtonAt(const Element& self, POINT screen)
{
    // The drawn buttons lie on top of everything in the client area, the last one topmost.
    for (auto id = static_cast<LONG>(self.buttons.size()); id > 0; --id) {
        Element button = self;
        button.button = &self.buttons[id - 1];
        const RECT rect = ButtonScreenRect(button);
        if (PtInRect(&rect, screen)) return id;
    }
    return 0;
}

}  // namespace quillpost::accessible
