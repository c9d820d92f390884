// A form's client area, where it has more to tell than the system's object: a name from a label
// rather than its caption, and drawn buttons beside its child windows. Its children are those
// buttons, numbered from 1, then its child windows, top first, as the system's objects count them;
// the child windows have objects of their own. A link label is a window like it, and shares its
// window's answers.
#include "forms/accessible_object.h"

namespace quillpost {
namespace accessible {
namespace {

HRESULT FormName(const Element& element, BSTR* out)
{
    return WindowText(element.nameLabel ? element.nameLabel : element.window, out);
}

LONG FormState(const Element& element) { return FocusableState(element.window); }

}  // namespace

const ElementKind kFormClient{ROLE_SYSTEM_CLIENT, nullptr, FormName, FormState, ClientAreaOnScreen, NoSelection,
                              NoAction};

HRESULT Text(std::wstring_view text, BSTR* out)
{
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT WindowText(HWND window, BSTR* out)
{
    wchar_t text[256];
    return Text({text, static_cast<std::size_t>(GetWindowTextW(window, text, ARRAYSIZE(text)))}, out);
}

HRESULT Long(LONG value, VARIANT* out)
{
    V_VT(out) = VT_I4;
    V_I4(out) = value;
    return S_OK;
}

// In the window's own DPI context: physical pixels.
RECT ClientAreaOnScreen(const Element& element)
{
    RECT rect{};
    GetClientRect(element.window, &rect);
    MapWindowPoints(element.window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

LONG FocusableState(HWND window)
{
    return (IsWindowVisible(window) ? 0 : STATE_SYSTEM_INVISIBLE) | STATE_SYSTEM_FOCUSABLE |
           (GetFocus() == window ? STATE_SYSTEM_FOCUSED : 0);
}

HRESULT NoSelection(const Element&, LONG) { return DISP_E_MEMBERNOTFOUND; }
HRESULT NoAction(const Element&) { return DISP_E_MEMBERNOTFOUND; }

}  // namespace accessible

namespace {

using accessible::DrawnButtonAt;
using accessible::Element;
using accessible::KindOf;
using accessible::Long;
using ObjectFromWindow = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);

HWND ChildWindow(HWND window, LONG index)
{
    HWND child = GetWindow(window, GW_CHILD);
    while (child && index-- > 0) child = GetWindow(child, GW_HWNDNEXT);
    return child;
}

LONG ChildWindowCount(HWND window)
{
    LONG count = 0;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) ++count;
    return count;
}

LONG ChildCount(const Element& self) { return static_cast<LONG>(self.buttons.size()) + ChildWindowCount(self.window); }

// The child that `direction` leads to from `from` among `count`; S_FALSE when none lies that way.
HRESULT NavigateAmong(LONG direction, LONG from, LONG count, LONG* to)
{
    const bool fromSelf = from == CHILDID_SELF;
    switch (direction) {
    case NAVDIR_FIRSTCHILD: *to = fromSelf ? 1 : 0; break;
    case NAVDIR_LASTCHILD: *to = fromSelf ? count : 0; break;
    // The object's own siblings are its parent's to tell.
    case NAVDIR_NEXT: *to = fromSelf ? 0 : from + 1; break;
    case NAVDIR_PREVIOUS: *to = fromSelf ? 0 : from - 1; break;
    default: return DISP_E_MEMBERNOTFOUND;
    }
    if (from < 0 || from > count) return E_INVALIDARG;
    return *to < 1 || *to > count ? S_FALSE : S_OK;
}

// The child window under a point on the screen; the window itself where none is.
HWND ChildWindowAt(HWND window, POINT screen)
{
    ScreenToClient(window, &screen);
    HWND child = ChildWindowFromPointEx(window, screen, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    return child ? child : window;
}

}  // namespace

template <typename Answer>
HRESULT FormAccessible::AboutSelf(Answer answer) const
{
    const WindowEntryScope entered = form_.Enter();
    Element self;
    return Resolve(entered, &self) ? answer(self) : E_FAIL;
}

HRESULT FormAccessible::WindowObject(HWND window, IDispatch** out) const
{
    RunningScope running;  // oleacc asks the window, whose thread may be another that we wait for, pumping
    auto fromWindow = Oleacc<ObjectFromWindow>("AccessibleObjectFromWindow");
    if (!fromWindow) return E_FAIL;
    return fromWindow(window, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch, reinterpret_cast<void**>(out));
}

HRESULT FormAccessible::WindowObject(HWND window, VARIANT* out) const
{
    IDispatch* object = nullptr;
    if (HRESULT hr = WindowObject(window, &object); FAILED(hr)) return hr;
    V_VT(out) = VT_DISPATCH;
    V_DISPATCH(out) = object;
    return S_OK;
}

HRESULT FormAccessible::Child(const Element& self, LONG id, VARIANT* out) const
{
    const auto buttons = static_cast<LONG>(self.buttons.size());
    if (id <= buttons) return Long(id, out);
    return WindowObject(ChildWindow(self.window, id - buttons - 1), out);
}

STDMETHODIMP FormAccessible::get_accParent(IDispatch** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    return AboutSelf([&](const Element& self) { return WindowObject(self.window, out); });
}

STDMETHODIMP FormAccessible::get_accChildCount(LONG* out)
{
    if (!out) return E_POINTER;
    *out = 0;
    return AboutSelf([&](const Element& self) {
        *out = ChildCount(self);
        return S_OK;
    });
}

STDMETHODIMP FormAccessible::get_accChild(VARIANT child, IDispatch** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    return AboutSelf([&](const Element& self) {
        const auto buttons = static_cast<LONG>(self.buttons.size());
        const LONG id = V_VT(&child) == VT_I4 ? V_I4(&child) : 0;
        if (id < 1 || id > ChildCount(self)) return E_INVALIDARG;
        if (id <= buttons) return S_FALSE;  // a drawn button is an element of this object
        return WindowObject(ChildWindow(self.window, id - buttons - 1), out);
    });
}

STDMETHODIMP FormAccessible::get_accFocus(VARIANT* out)
{
    if (!out) return E_POINTER;
    VariantInit(out);
    // Elsewhere (S_FALSE): the object that has it answers.
    return AboutSelf([&](const Element& self) {
        return GetFocus() == self.window ? Long(CHILDID_SELF, out) : S_FALSE;
    });
}

STDMETHODIMP FormAccessible::accNavigate(LONG direction, VARIANT start, VARIANT* out)
{
    if (!out) return E_POINTER;
    VariantInit(out);
    return AboutSelf([&](const Element& self) {
        if (V_VT(&start) != VT_I4) return E_INVALIDARG;
        LONG to = 0;
        const HRESULT hr = NavigateAmong(direction, V_I4(&start), ChildCount(self), &to);
        return hr == S_OK ? Child(self, to, out) : hr;
    });
}

STDMETHODIMP FormAccessible::accHitTest(LONG x, LONG y, VARIANT* out)
{
    if (!out) return E_POINTER;
    VariantInit(out);
    return AboutSelf([&](const Element& self) {
        const POINT point{x, y};
        if (const LONG button = DrawnButtonAt(self, point)) return Long(button, out);
        const RECT own = KindOf(self).screenRect(self);
        if (!PtInRect(&own, point)) return S_FALSE;
        const HWND child = ChildWindowAt(self.window, point);
        return child == self.window ? Long(CHILDID_SELF, out) : WindowObject(child, out);
    });
}

}  // namespace quillpost
