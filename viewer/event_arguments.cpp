#include "viewer/event_arguments.h"

namespace quillpost::event_arguments {
namespace {

// The variant itself, or the one it refers to when it is a variant passed by reference.
const VARIANT* Inner(const VARIANT* argument)
{
    if (argument && V_VT(argument) == (VT_VARIANT | VT_BYREF)) return V_VARIANTREF(argument);
    return argument;
}

}  // namespace

const VARIANT* At(const DISPPARAMS* params, UINT count, UINT position)
{
    if (!params || params->cArgs != count || params->cNamedArgs != 0 || !params->rgvarg || position >= count)
        return nullptr;
    return &params->rgvarg[count - 1 - position];
}

std::wstring_view Text(const VARIANT* argument)
{
    argument = Inner(argument);
    if (!argument || V_VT(argument) != VT_BSTR || !V_BSTR(argument)) return {};
    return {V_BSTR(argument), SysStringLen(V_BSTR(argument))};
}

VARIANT_BOOL* Flag(const VARIANT* argument)
{
    argument = Inner(argument);
    if (!argument || V_VT(argument) != (VT_BOOL | VT_BYREF)) return nullptr;
    return V_BOOLREF(argument);
}

bool Boolean(const VARIANT* argument, bool otherwise)
{
    argument = Inner(argument);
    if (!argument || V_VT(argument) != VT_BOOL) return otherwise;
    return V_BOOL(argument) != VARIANT_FALSE;
}

ULONG Number(const VARIANT* argument, ULONG otherwise)
{
    argument = Inner(argument);
    if (!argument || (V_VT(argument) != VT_I4 && V_VT(argument) != VT_UI4)) return otherwise;
    return V_UI4(argument);
}

IDispatch* Object(const VARIANT* argument)
{
    argument = Inner(argument);
    if (!argument || V_VT(argument) != VT_DISPATCH) return nullptr;
    return V_DISPATCH(argument);
}

}  // namespace quillpost::event_arguments
