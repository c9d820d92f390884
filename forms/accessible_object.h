// The object that answers assistive technology for a form's client area or one of its link
// labels (accessible_object.cpp: what it answers for; accessible_client_area.cpp: the form's tree).
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <span>

#include "core/com_object.h"
#include "core/raii.h"
#include "forms/accessible_elements.h"
#include "forms/window_entry.h"

namespace quillpost {

namespace accessible {
inline void FreeOleacc(HMODULE library) { FreeLibrary(library); }
using UniqueOleacc = UniqueOwner<HMODULE, FreeOleacc>;
}  // namespace accessible

// Lent to oleacc and through it to other processes, which may call it after the window has gone:
// it keeps the module, holds oleacc for its own calls, and finds its form again, through the
// window, at every call, in the form's DPI context.
class FormAccessible final : public ComObject<FormAccessible, LentKeep, IAccessible> {
public:
    FormAccessible(HWND form, int row);

    static std::span<const InterfaceRow> Interfaces()
    {
        static constexpr InterfaceRow kRows[] = {
            Row<FormAccessible, IAccessible>(IID_IAccessible),
            Row<FormAccessible, IAccessible>(IID_IDispatch),
        };
        return kRows;
    }

    // A function of oleacc; nullptr when it could not be loaded.
    template <typename Function>
    Function Oleacc(const char* name) const
    {
        if (!oleacc_) return nullptr;
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(oleacc_.Get(), name)));
    }

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

    // IAccessible: the form's tree (accessible_client_area.cpp)
    STDMETHODIMP get_accParent(IDispatch** out) override;
    STDMETHODIMP get_accChildCount(LONG* out) override;
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** out) override;
    STDMETHODIMP get_accFocus(VARIANT* out) override;
    STDMETHODIMP accNavigate(LONG direction, VARIANT start, VARIANT* out) override;
    STDMETHODIMP accHitTest(LONG x, LONG y, VARIANT* out) override;
    // and what each element tells of itself (accessible_object.cpp)
    STDMETHODIMP get_accName(VARIANT child, BSTR* out) override;
    STDMETHODIMP get_accValue(VARIANT, BSTR* out) override { return NoProperty(out); }
    STDMETHODIMP get_accDescription(VARIANT, BSTR* out) override { return NoProperty(out); }
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* out) override;
    STDMETHODIMP get_accState(VARIANT child, VARIANT* out) override;
    STDMETHODIMP get_accHelp(VARIANT, BSTR* out) override { return NoProperty(out); }
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT, LONG*) override { return NoProperty(file); }
    STDMETHODIMP get_accKeyboardShortcut(VARIANT, BSTR* out) override { return NoProperty(out); }
    STDMETHODIMP get_accSelection(VARIANT* out) override
    {
        if (out) VariantInit(out);
        return DISP_E_MEMBERNOTFOUND;
    }
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* out) override;
    STDMETHODIMP accSelect(LONG flags, VARIANT child) override;
    STDMETHODIMP accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override;
    STDMETHODIMP accDoDefaultAction(VARIANT child) override;
    // Retired from the interface: no client may rename an object.
    STDMETHODIMP put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    using Element = accessible::Element;

    ~FormAccessible() override = default;

    static HRESULT NoProperty(BSTR* out)
    {
        if (out) *out = nullptr;
        return DISP_E_MEMBERNOTFOUND;
    }

    // What `answer` says of the object itself, or of the element `child` names, inside the form's
    // DPI context: the only way the methods reach their window.
    template <typename Answer>
    HRESULT AboutSelf(Answer answer) const;
    template <typename Answer>
    HRESULT AboutElement(const VARIANT& child, Answer answer) const;
    // The live form and window, read in the form's DPI context (`entered`, which only the form's
    // EntryWindow makes); false when the window has gone.
    bool Resolve(const WindowEntryScope& entered, Element* out) const;
    // The element a child identifier names: E_INVALIDARG for anything but the object and its
    // drawn buttons (child windows have objects of their own), E_FAIL once the window has gone.
    HRESULT Find(const WindowEntryScope& entered, const VARIANT& child, Element* out) const;
    // Child `id` as a client wants it: a drawn button by number, a child window as its object.
    HRESULT Child(const Element& self, LONG id, VARIANT* out) const;
    HRESULT WindowObject(HWND window, IDispatch** out) const;
    HRESULT WindowObject(HWND window, VARIANT* out) const;

    EntryWindow form_;
    int row_;  // the link label's row, or kOnForm
    accessible::UniqueOleacc oleacc_;
};

}  // namespace quillpost
