// What assistive technology sees of a form where the system's own objects fall short: a link
// label, which they show as a plain client area without an action, and the client area of a form
// that is named by a label rather than its caption or draws parts that act like push buttons.
// Everything else keeps the system's objects. Answered from WM_GETOBJECT; oleacc is loaded only
// then, so a host that never meets a screen reader does not pay for it.
#include <windows.h>
#include <oleacc.h>

#include <string_view>

#include "core/com_object.h"
#include "core/entry_points.h"
#include "forms/form_window.h"

namespace quillpost {
namespace {

using form::DrawnButton;

using ResultFromObject = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
using ObjectFromWindow = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);

void GiveBack(HMODULE library) { FreeLibrary(library); }
using UniqueLibrary = UniqueOwner<HMODULE, GiveBack>;

// From the system folder: a copy planted beside the host must not be what loads.
HMODULE LoadOleacc()
{
    constexpr wchar_t kName[] = L"\\oleacc.dll";
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH - ARRAYSIZE(kName));
    if (length == 0 || length >= MAX_PATH - ARRAYSIZE(kName)) return nullptr;
    lstrcpyW(path + length, kName);
    return LoadLibraryW(path);
}

template <typename Function>
Function Entry(HMODULE oleacc, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(oleacc, name)));
}

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

HRESULT NoProperty(BSTR* out)
{
    if (out) *out = nullptr;
    return DISP_E_MEMBERNOTFOUND;
}

// The child windows of `window`, top first, as the system's objects count them.
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

}  // namespace

// A form's client area (row kOnForm) or one of its link labels. Lent to oleacc and through it to
// other processes, which may call it after the window has gone: it keeps the module, holds oleacc
// for its own calls, and finds its form again, through the window, at every call.
class FormAccessible final : public ComObject<FormAccessible, ModuleKeep, IAccessible> {
public:
    FormAccessible(HWND form, int row) : form_(form), row_(row), oleacc_(LoadOleacc()) {}

    static std::span<const InterfaceRow> Interfaces()
    {
        static constexpr InterfaceRow kRows[] = {
            Row<FormAccessible, IAccessible>(IID_IAccessible),
            Row<FormAccessible, IAccessible>(IID_IDispatch),
        };
        return kRows;
    }

    HMODULE Oleacc() const { return oleacc_.Get(); }

    // IDispatch: assistive technology calls the vtable; scripts have no use for these objects.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override
    {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    // IAccessible
    STDMETHODIMP get_accParent(IDispatch** out) override;
    STDMETHODIMP get_accChildCount(LONG* out) override;
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** out) override;
    STDMETHODIMP get_accName(VARIANT child, BSTR* out) override;
    STDMETHODIMP get_accValue(VARIANT, BSTR* out) override { return NoProperty(out); }
    STDMETHODIMP get_accDescription(VARIANT, BSTR* out) override { return NoProperty(out); }
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* out) override;
    STDMETHODIMP get_accState(VARIANT child, VARIANT* out) override;
    STDMETHODIMP get_accHelp(VARIANT, BSTR* out) override { return NoProperty(out); }
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT, LONG*) override { return NoProperty(file); }
    STDMETHODIMP get_accKeyboardShortcut(VARIANT, BSTR* out) override { return NoProperty(out); }
    STDMETHODIMP get_accFocus(VARIANT* out) override;
    STDMETHODIMP get_accSelection(VARIANT* out) override
    {
        if (out) VariantInit(out);
        return DISP_E_MEMBERNOTFOUND;
    }
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* out) override;
    STDMETHODIMP accSelect(LONG flags, VARIANT child) override;
    STDMETHODIMP accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override;
    STDMETHODIMP accNavigate(LONG direction, VARIANT start, VARIANT* out) override;
    STDMETHODIMP accHitTest(LONG x, LONG y, VARIANT* out) override;
    STDMETHODIMP accDoDefaultAction(VARIANT child) override;
    // Retired from the interface: no client may rename an object.
    STDMETHODIMP put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    // The object itself (button nullptr) or one of the form's drawn buttons.
    struct Element {
        FormWindow* form = nullptr;
        HWND window = nullptr;
        const DrawnButton* button = nullptr;
    };

    ~FormAccessible() override = default;

    // The live form and window; false when the window has gone.
    bool Resolve(Element* out) const;
    // The element a child identifier names: E_INVALIDARG for anything but the object and its
    // drawn buttons (child windows have objects of their own), E_FAIL once the window has gone.
    HRESULT Find(const VARIANT& child, Element* out) const;
    std::span<const DrawnButton> Buttons(const FormWindow* form) const
    {
        return row_ == form::kOnForm ? form->DrawnButtons() : std::span<const DrawnButton>{};
    }
    static RECT ScreenRect(const Element& element);
    // Child `id` as a client wants it: a drawn button by number, a child window as its object.
    HRESULT Child(const Element& self, LONG id, VARIANT* out) const;
    HRESULT WindowObject(HWND window, IDispatch** out) const;

    HWND form_;
    int row_;  // the link label's row, or kOnForm
    UniqueLibrary oleacc_;
};

bool FormAccessible::Resolve(Element* out) const
{
    // The handle may name another window by now: only a live form of ours is asked.
    if (!IsWindow(form_) ||
        GetClassLongPtrW(form_, GCLP_WNDPROC) != reinterpret_cast<ULONG_PTR>(&entry::WindowProcedure<&FormWindow::WindowProc>))
        return false;
    auto* form = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(form_, GWLP_USERDATA));
    if (!form || form->window_ != form_) return false;
    HWND window = row_ == form::kOnForm ? form_ : form->controlWindows_[row_];
    *out = {form, window, nullptr};
    return window != nullptr;
}

HRESULT FormAccessible::Find(const VARIANT& child, Element* out) const
{
    if (!Resolve(out)) return E_FAIL;
    if (V_VT(&child) != VT_I4) return E_INVALIDARG;
    const auto buttons = Buttons(out->form);
    const LONG id = V_I4(&child);
    if (id < 0 || id > static_cast<LONG>(buttons.size())) return E_INVALIDARG;
    if (id != CHILDID_SELF) out->button = &buttons[id - 1];
    return S_OK;
}

RECT FormAccessible::ScreenRect(const Element& element)
{
    RECT rect{};
    HWND from = element.window;
    if (element.button) {
        // Where the form lays the button's image area out, in its container's client area.
        const form::ControlRow& area = *element.button->area;
        rect = form::PixelRect(area, element.form->dpi_);
        from = area.parent == form::kOnForm ? element.form->window_ : element.form->controlWindows_[area.parent];
    } else {
        GetClientRect(element.window, &rect);
    }
    MapWindowPoints(from, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

HRESULT FormAccessible::WindowObject(HWND window, IDispatch** out) const
{
    ModuleHold hold;  // oleacc asks the window, whose thread may be another that we wait for, pumping
    auto fromWindow = Entry<ObjectFromWindow>(oleacc_.Get(), "AccessibleObjectFromWindow");
    if (!fromWindow) return E_FAIL;
    return fromWindow(window, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch, reinterpret_cast<void**>(out));
}

HRESULT FormAccessible::Child(const Element& self, LONG id, VARIANT* out) const
{
    const auto buttons = static_cast<LONG>(Buttons(self.form).size());
    if (id <= buttons) return Long(id, out);
    IDispatch* object = nullptr;
    if (HRESULT hr = WindowObject(ChildWindow(self.window, id - buttons - 1), &object); FAILED(hr)) return hr;
    V_VT(out) = VT_DISPATCH;
    V_DISPATCH(out) = object;
    return S_OK;
}

STDMETHODIMP FormAccessible::get_accParent(IDispatch** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    Element self;
    return Resolve(&self) ? WindowObject(self.window, out) : E_FAIL;
}

STDMETHODIMP FormAccessible::get_accChildCount(LONG* out)
{
    if (!out) return E_POINTER;
    *out = 0;
    Element self;
    if (!Resolve(&self)) return E_FAIL;
    *out = static_cast<LONG>(Buttons(self.form).size()) + ChildWindowCount(self.window);
    return S_OK;
}

STDMETHODIMP FormAccessible::get_accChild(VARIANT child, IDispatch** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    Element self;
    if (!Resolve(&self)) return E_FAIL;
    const auto buttons = static_cast<LONG>(Buttons(self.form).size());
    if (V_VT(&child) != VT_I4 || V_I4(&child) < 1 || V_I4(&child) > buttons + ChildWindowCount(self.window))
        return E_INVALIDARG;
    if (V_I4(&child) <= buttons) return S_FALSE;  // a drawn button is an element of this object
    return WindowObject(ChildWindow(self.window, V_I4(&child) - buttons - 1), out);
}

STDMETHODIMP FormAccessible::get_accName(VARIANT child, BSTR* out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    Element element;
    if (HRESULT hr = Find(child, &element); FAILED(hr)) return hr;
    if (element.button) return Text(element.button->name, out);
    const form::ControlRow* label = row_ == form::kOnForm ? element.form->NameLabel() : nullptr;
    HWND named = label ? element.form->ControlWindow(*label) : element.window;
    return WindowText(named ? named : element.window, out);
}

STDMETHODIMP FormAccessible::get_accRole(VARIANT child, VARIANT* out)
{
    if (!out) return E_POINTER;
    VariantInit(out);
    Element element;
    if (HRESULT hr = Find(child, &element); FAILED(hr)) return hr;
    if (element.button) return Long(ROLE_SYSTEM_PUSHBUTTON, out);
    return Long(row_ == form::kOnForm ? ROLE_SYSTEM_CLIENT : ROLE_SYSTEM_LINK, out);
}

STDMETHODIMP FormAccessible::get_accState(VARIANT child, VARIANT* out)
{
    if (!out) return E_POINTER;
    VariantInit(out);
    Element element;
    if (HRESULT hr = Find(child, &element); FAILED(hr)) return hr;
    LONG state = IsWindowVisible(element.window) ? 0 : STATE_SYSTEM_INVISIBLE;
    if (!element.button) {
        state |= STATE_SYSTEM_FOCUSABLE | (GetFocus() == element.window ? STATE_SYSTEM_FOCUSED : 0);
        if (row_ != form::kOnForm) state |= STATE_SYSTEM_LINKED;
    }
    return Long(state, out);
}

STDMETHODIMP FormAccessible::get_accFocus(VARIANT* out)
{
    if (!out) return E_POINTER;
    VariantInit(out);
    Element self;
    if (!Resolve(&self)) return E_FAIL;
    if (GetFocus() != self.window) return S_FALSE;  // elsewhere: the object that has it answers
    return Long(CHILDID_SELF, out);
}

STDMETHODIMP FormAccessible::get_accDefaultAction(VARIANT child, BSTR* out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    Element element;
    if (HRESULT hr = Find(child, &element); FAILED(hr)) return hr;
    if (element.button) return Text(L"Press", out);
    if (row_ != form::kOnForm) return Text(L"Jump", out);
    return DISP_E_MEMBERNOTFOUND;
}

STDMETHODIMP FormAccessible::accSelect(LONG flags, VARIANT child)
{
    Element element;
    if (HRESULT hr = Find(child, &element); FAILED(hr)) return hr;
    if (element.button || row_ == form::kOnForm || flags != SELFLAG_TAKEFOCUS) return DISP_E_MEMBERNOTFOUND;
    SetFocus(element.window);
    return S_OK;
}

STDMETHODIMP FormAccessible::accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child)
{
    if (!left || !top || !width || !height) return E_POINTER;
    *left = *top = *width = *height = 0;
    Element element;
    if (HRESULT hr = Find(child, &element); FAILED(hr)) return hr;
    const RECT rect = ScreenRect(element);
    *left = rect.left;
    *top = rect.top;
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
    return S_OK;
}

STDMETHODIMP FormAccessible::accNavigate(LONG direction, VARIANT start, VARIANT* out)
{
    if (!out) return E_POINTER;
    VariantInit(out);
    Element self;
    if (!Resolve(&self)) return E_FAIL;
    if (V_VT(&start) != VT_I4) return E_INVALIDARG;
    const LONG from = V_I4(&start);
    const LONG count = static_cast<LONG>(Buttons(self.form).size()) + ChildWindowCount(self.window);
    const bool fromSelf = from == CHILDID_SELF;
    LONG to = 0;
    switch (direction) {
    case NAVDIR_FIRSTCHILD: to = fromSelf ? 1 : 0; break;
    case NAVDIR_LASTCHILD: to = fromSelf ? count : 0; break;
    // The object's own siblings are its parent's to tell.
    case NAVDIR_NEXT: to = fromSelf ? 0 : from + 1; break;
    case NAVDIR_PREVIOUS: to = fromSelf ? 0 : from - 1; break;
    default: return DISP_E_MEMBERNOTFOUND;
    }
    if (from < 0 || from > count) return E_INVALIDARG;
    if (to < 1 || to > count) return S_FALSE;  // nothing lies that way
    return Child(self, to, out);
}

STDMETHODIMP FormAccessible::accHitTest(LONG x, LONG y, VARIANT* out)
{
    if (!out) return E_POINTER;
    VariantInit(out);
    Element element;
    if (!Resolve(&element)) return E_FAIL;
    const POINT point{x, y};
    // The drawn buttons lie on top of everything in the client area, the last one topmost.
    const auto buttons = Buttons(element.form);
    for (auto id = static_cast<LONG>(buttons.size()); id > 0; --id) {
        const RECT rect = ScreenRect({element.form, element.window, &buttons[id - 1]});
        if (PtInRect(&rect, point)) return Long(id, out);
    }
    const RECT own = ScreenRect(element);
    if (!PtInRect(&own, point)) return S_FALSE;
    POINT inside = point;
    ScreenToClient(element.window, &inside);
    HWND child = ChildWindowFromPointEx(element.window, inside, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    if (!child || child == element.window) return Long(CHILDID_SELF, out);
    IDispatch* object = nullptr;
    if (HRESULT hr = WindowObject(child, &object); FAILED(hr)) return hr;
    V_VT(out) = VT_DISPATCH;
    V_DISPATCH(out) = object;
    return S_OK;
}

STDMETHODIMP FormAccessible::accDoDefaultAction(VARIANT child)
{
    Element element;
    if (HRESULT hr = Find(child, &element); FAILED(hr)) return hr;
    // Posted, as a click arrives: the caller is not kept waiting while a program starts or the
    // window closes under it.
    BOOL posted = FALSE;
    if (element.button) {
        posted = PostMessageW(form_, WM_SYSCOMMAND, element.button->command, 0);
    } else if (row_ != form::kOnForm) {
        posted = PostMessageW(form_, WM_COMMAND, MAKEWPARAM(form::ControlId(row_), STN_CLICKED),
                              reinterpret_cast<LPARAM>(element.window));
    } else {
        return DISP_E_MEMBERNOTFOUND;
    }
    return posted ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

LRESULT FormWindow::AnswerAccessible(int row, WPARAM flags, LPARAM objectId)
{
    // The client area only; and the form's own only when it has more to tell than the system's.
    if (static_cast<DWORD>(objectId) != static_cast<DWORD>(OBJID_CLIENT)) return 0;
    if (row == form::kOnForm && !NameLabel() && DrawnButtons().empty()) return 0;
    Microsoft::WRL::ComPtr<FormAccessible> object;
    if (FAILED(MakeComObject(object, window_, row)) || !object->Oleacc()) return 0;
    auto fromObject = Entry<ResultFromObject>(object->Oleacc(), "LresultFromObject");
    if (!fromObject) return 0;
    const LRESULT answer = fromObject(IID_IAccessible, flags, static_cast<IAccessible*>(object.Get()));
    // An object that cannot be handed over leaves the system's in its place.
    return FAILED(static_cast<HRESULT>(answer)) ? 0 : answer;
}

}  // namespace quillpost
