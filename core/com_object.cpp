#include "core/com_object.h"

namespace quillpost {

HRESULT QueryByTable(void* object, std::span<const InterfaceRow> table, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const InterfaceRow& row : table) {
        if (*row.iid == iid || (iid == IID_IUnknown && &row == table.data())) {
            IUnknown* found = row.reach(object);
            found->AddRef();
            *out = found;
            return S_OK;
        }
    }
    return E_NOINTERFACE;
}

}  // namespace quillpost
