#include "plugin/method_table.h"

#include <wrl/client.h>

#include <atomic>

#include "core/raii.h"

using Microsoft::WRL::ComPtr;

namespace quillpost {
namespace {

inline constexpr UINT kMaxMethods = 32;

struct MethodTable {
    UINT count = 0;
    MethodShape methods[kMaxMethods];
};

MethodTable g_table;  // written once under g_tableOnce, then read-only
INIT_ONCE g_tableOnce = INIT_ONCE_STATIC_INIT;
// Set once the table is read: a call then costs one load instead of an InitOnce query.
std::atomic<bool> g_tableRead{false};

// The VARIANT type a caller passes for a parameter: VT_PTR to a base type is a reference.
bool VariantTypeOf(const TYPEDESC& type, VARTYPE* out)
{
    const TYPEDESC& base = type.vt == VT_PTR ? *type.lptdesc : type;
    switch (base.vt) {
    case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY: case VT_DATE: case VT_BSTR: case VT_DISPATCH:
    case VT_ERROR: case VT_BOOL: case VT_UNKNOWN: case VT_I1: case VT_UI1: case VT_UI2:
    case VT_UI4: case VT_INT: case VT_UINT:
        break;
    default:
        return false;  // VARIANTs, arrays, records, user types have rules of their own: left to the platform
    }
    *out = type.vt == VT_PTR ? static_cast<VARTYPE>(VT_BYREF | base.vt) : base.vt;
    return true;
}

void ReadShape(const FUNCDESC& function, MethodShape* shape)
{
    shape->id = function.memid;
    shape->invokeKinds = static_cast<WORD>(function.invkind);
    // As the platform decides it: a restricted function with a non-negative ID is not dispatched.
    shape->restricted = (function.wFuncFlags & FUNCFLAG_FRESTRICTED) && function.memid >= 0;
    shape->plain = (function.funckind == FUNC_PUREVIRTUAL || function.funckind == FUNC_VIRTUAL) &&
                   function.invkind == INVOKE_FUNC &&
                   function.cParamsOpt == 0 && function.cParams <= static_cast<SHORT>(kMaxMethodArguments) + 1;
    if (!shape->plain) return;
    for (SHORT i = 0; i < function.cParams && shape->plain; ++i) {
        const ELEMDESC& parameter = function.lprgelemdescParam[i];
        const USHORT flags = parameter.paramdesc.wParamFlags;
        if (flags & PARAMFLAG_FRETVAL) {
            shape->hasRetval = i == function.cParams - 1;
            shape->plain = shape->hasRetval;
        } else if (flags & (PARAMFLAG_FLCID | PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT)) {
            shape->plain = false;
        } else {
            shape->plain = VariantTypeOf(parameter.tdesc, &shape->types[shape->argumentCount++]);
        }
    }
}

// A dual interface's dispatch description reports each method as the dispatch sees it (no
// [retval], FUNC_DISPATCH); the platform's Invoke uses the vtable description: read that one.
HRESULT VtableDescription(ITypeInfo* typeInfo, ComPtr<ITypeInfo>* out)
{
    TypeAttributes attributes;
    if (HRESULT hr = attributes.Read(typeInfo); FAILED(hr)) return hr;
    if (attributes->typekind != TKIND_DISPATCH || !(attributes->wTypeFlags & TYPEFLAG_FDUAL)) {
        *out = typeInfo;
        return S_OK;
    }
    HREFTYPE vtable = 0;
    if (HRESULT hr = typeInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable); FAILED(hr)) return hr;
    return typeInfo->GetRefTypeInfo(vtable, out->ReleaseAndGetAddressOf());
}

bool ReadFunctions(ITypeInfo* description)
{
    TypeAttributes attributes;
    if (FAILED(attributes.Read(description))) return false;
    const UINT functions = attributes->cFuncs;
    if (functions > kMaxMethods) return false;
    // The interface's own methods, in the order the platform searches them.
    for (UINT index = 0; index < functions; ++index) {
        FunctionDescription function;
        if (FAILED(function.Read(description, index))) return false;
        ReadShape(*function, &g_table.methods[index]);
    }
    g_table.count = functions;
    return true;
}

BOOL CALLBACK ReadTable(INIT_ONCE*, void* parameter, void**)
{
    ComPtr<ITypeInfo> description;
    if (FAILED(VtableDescription(static_cast<ITypeInfo*>(parameter), &description))) return FALSE;
    return ReadFunctions(description.Get()) ? TRUE : FALSE;
}

}  // namespace

const MethodShape* FindMethod(ITypeInfo* typeInfo, DISPID id, WORD flags, bool* known)
{
    *known = g_tableRead.load(std::memory_order_acquire);
    if (!*known) {
        *known = InitOnceExecuteOnce(&g_tableOnce, ReadTable, typeInfo, nullptr) != FALSE;
        if (!*known) return nullptr;
        g_tableRead.store(true, std::memory_order_release);
    }
    for (UINT index = 0; index < g_table.count; ++index) {
        const MethodShape& method = g_table.methods[index];
        if (method.id == id && (flags & method.invokeKinds) && !method.restricted) return &method;
    }
    return nullptr;
}

}  // namespace quillpost
