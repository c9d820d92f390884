// What assistive technology sees of a form where the system's own objects fall short: a link
// label, which they show as a plain client area without an action, and the client area of a form
// that is named by a label rather than its caption or draws parts that act like push buttons
// (accessible_elements.h has the three jobs). Everything else keeps the system's objects. Answered from
// WM_GETOBJECT; oleacc is loaded only then, so a host that never meets a screen reader does not
// pay for it.
//
// A screen reader's calls arrive through COM's own window, in the host thread's DPI context, not
// the form's: every call enters the form's context (forms/window_entry.h) before it reads the
// window, or the system would answer positions scaled down for an unaware host.
#include "forms/accessible_object.h"

#include "core/entry_points.h"
#include "forms/form_window.h"

namespace quillpost {
namespace {

using accessible::Element;
using accessible::KindOf;
using Kind = accessible::ElementKind;
using ResultFromObject = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);

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

}  // namespace

FormAccessible::FormAccessible(HWND form, int row) : form_(form), row_(row), oleacc_(LoadOleacc()) {}

bool FormAccessible::Resolve(const WindowEntryScope& entered, Element* out) const
{
    // The handle may name another window by now: only a live form of ours is asked.
    const HWND window = entered.Window();
    FormWindow* form = IsWindow(window) ? FormWindow::FromWindow(window) : nullptr;
    if (!form || form->window_ != window) return false;
    const bool onForm = row_ == form::kOnForm;
    const form::ControlRow* label = onForm ? form->NameLabel() : nullptr;
    *out = {};
    out->form = window;
    out->window = onForm ? window : form->controlWindows_[row_];
    out->row = row_;
    out->dpi = form->dpi_;
    out->controls = {form->controlWindows_, form->controls_.size()};
    if (onForm) out->buttons = form->DrawnButtons();
    out->nameLabel = label ? form->ControlWindow(*label) : nullptr;
    return out->window != nullptr;
}

HRESULT FormAccessible::Find(const WindowEntryScope& entered, const VARIANT& child, Element* out) const
{
    if (!Resolve(entered, out)) return E_FAIL;
    if (V_VT(&child) != VT_I4) return E_INVALIDARG;
    const LONG id = V_I4(&child);
    if (id < 0 || id > static_cast<LONG>(out->buttons.size())) return E_INVALIDARG;
    if (id != CHILDID_SELF) out->button = &out->buttons[id - 1];
    return S_OK;
}

template <typename Answer>
HRESULT FormAccessible::AboutElement(const VARIANT& child, Answer answer) const
{
    const WindowEntryScope entered = form_.Enter();
    Element element;
    if (HRESULT hr = Find(entered, child, &element); FAILED(hr)) return hr;
    return answer(element, KindOf(element));
}

STDMETHODIMP FormAccessible::get_accName(VARIANT child, BSTR* out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    return AboutElement(child, [&](const Element& element, const Kind& kind) { return kind.name(element, out); });
}

STDMETHODIMP FormAccessible::get_accRole(VARIANT child, VARIANT* out)
{
    if (!out) return E_POINTER;
    VariantInit(out);
    return AboutElement(child, [&](const Element&, const Kind& kind) { return accessible::Long(kind.role, out); });
}

STDMETHODIMP FormAccessible::get_accState(VARIANT child, VARIANT* out)
{
    if (!out) return E_POINTER;
    VariantInit(out);
    return AboutElement(child, [&](const Element& element, const Kind& kind) {
        return accessible::Long(kind.state(element), out);
    });
}

STDMETHODIMP FormAccessible::get_accDefaultAction(VARIANT child, BSTR* out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    return AboutElement(child, [&](const Element&, const Kind& kind) {
        return kind.defaultAction ? accessible::Text(kind.defaultAction, out) : DISP_E_MEMBERNOTFOUND;
    });
}

STDMETHODIMP FormAccessible::accSelect(LONG flags, VARIANT child)
{
    return AboutElement(child, [&](const Element& element, const Kind& kind) { return kind.select(element, flags); });
}

STDMETHODIMP FormAccessible::accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child)
{
    if (!left || !top || !width || !height) return E_POINTER;
    *left = *top = *width = *height = 0;
    return AboutElement(child, [&](const Element& element, const Kind& kind) {
        const RECT rect = kind.screenRect(element);
        *left = rect.left;
        *top = rect.top;
        *width = rect.right - rect.left;
        *height = rect.bottom - rect.top;
        return S_OK;
    });
}

STDMETHODIMP FormAccessible::accDoDefaultAction(VARIANT child)
{
    return AboutElement(child, [](const Element& element, const Kind& kind) { return kind.act(element); });
}

LRESULT FormWindow::AnswerAccessible(int row, WPARAM flags, LPARAM objectId)
{
    // The client area only; and the form's own only when it has more to tell than the system's.
    if (static_cast<DWORD>(objectId) != static_cast<DWORD>(OBJID_CLIENT)) return 0;
    if (row == form::kOnForm && !NameLabel() && DrawnButtons().empty()) return 0;
    Microsoft::WRL::ComPtr<FormAccessible> object;
    if (FAILED(MakeComObject(object, window_, row))) return 0;
    auto fromObject = object->Oleacc<ResultFromObject>("LresultFromObject");
    if (!fromObject) return 0;
    const LRESULT answer = fromObject(IID_IAccessible, flags, static_cast<IAccessible*>(object.Get()));
    // An object that cannot be handed over leaves the system's in its place.
    return FAILED(static_cast<HRESULT>(answer)) ? 0 : answer;
}

}  // namespace quillpost
