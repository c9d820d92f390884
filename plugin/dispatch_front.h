// IDispatch::Invoke for _Sample: the platform's standard dispatch, fronted by a layer that
// hands it only arguments of exactly the parameters' types.
//
// The platform's ITypeInfo::Invoke converts arguments itself, but leaks its converted copies
// (and references on objects) when a later argument fails, writes converted values back into
// by-value arguments, and refuses a variable passed by reference (VT_BYREF|VT_VARIANT, as
// script languages pass every variable) for a BSTR* or long* parameter. The front converts
// every argument the same way into copies it owns and frees on every path, so each answer
// stays the platform's except for these deliberate ones:
//  - VT_BYREF|VT_VARIANT for a by-reference parameter: the method gets a reference into the
//    caller's variant when it already holds the parameter's type, else a converted copy that
//    replaces the caller's value only if the method wrote it. Arguments that cannot be
//    converted still get the platform's answer, and *argError names them.
//  - By-value arguments are never written: a by-value argument for an [in, out] parameter
//    keeps its value, and the call does not fail when the written value would not convert
//    back to the argument's type.
//  - A missing rgvarg or rgdispidNamedArgs array that the platform would read is E_INVALIDARG,
//    and so is a variable holding a NULL reference: the platform reads through both and crashes.
//  - *argError is set for every argument that cannot be converted.
#pragma once

#include <oaidl.h>

namespace quillpost {

HRESULT InvokeThroughFront(ITypeInfo* typeInfo, IDispatch* object, DISPID id, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* exception, UINT* argError);

}  // namespace quillpost
