#include "support/accessibility.h"

#include "support/dispatch.h"

namespace quillpost::testing {

Microsoft::WRL::ComPtr<IAccessible> ClientObject(HWND window)
{
    Microsoft::WRL::ComPtr<IAccessible> object;
    AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_PPV_ARGS(&object));
    return object;
}

AccessibleFacts FactsOf(IAccessible* object, LONG child)
{
    AccessibleFacts facts;
    const VARIANT id = ChildId(child);
    Bstr name, action;
    if (SUCCEEDED(object->get_accName(id, name.Put()))) facts.name = name.Text();
    if (SUCCEEDED(object->get_accDefaultAction(id, action.Put()))) facts.defaultAction = action.Text();
    Variant role;
    if (SUCCEEDED(object->get_accRole(id, role.Put())) && role.Get().vt == VT_I4) facts.role = role.Get().lVal;
    LONG left = 0, top = 0, width = 0, height = 0;
    if (SUCCEEDED(object->accLocation(&left, &top, &width, &height, id)))
        facts.location = {left, top, left + width, top + height};
    return facts;
}

}  // namespace quillpost::testing
