// A link label: the system's object shows it as a plain client area without an action, so its
// own tells a link that jumps, takes the focus and is pressed like a click.
#include "forms/accessible_elements.h"

#include <oleacc.h>

namespace quillpost::accessible {
namespace {

HRESULT LinkName(const Element& element, BSTR* out) { return WindowText(element.window, out); }

LONG LinkState(const Element& element) { return FocusableState(element.window) | STATE_SYSTEM_LINKED; }

HRESULT TakeFocus(const Element& element, LONG flags)
{
    if (flags != SELFLAG_TAKEFOCUS) return DISP_E_MEMBERNOTFOUND;
    SetFocus(element.window);
    return S_OK;
}

// Posted, as a click arrives: the caller is not kept waiting while a program starts.
HRESULT Jump(const Element& element)
{
    const BOOL posted = PostMessageW(element.form, WM_COMMAND, MAKEWPARAM(form::ControlId(element.row), STN_CLICKED),
                                     reinterpret_cast<LPARAM>(element.window));
    return posted ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

}  // namespace

const ElementKind kLinkLabel{ROLE_SYSTEM_LINK, L"Jump", LinkName, LinkState, ClientAreaOnScreen, TakeFocus, Jump};

}  // namespace quillpost::accessible
