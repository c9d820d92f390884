// What IDispatch::Invoke needs to know of each method of _Sample: read once from the type
// description, so that a call neither walks the type library nor allocates.
#pragma once

#include <oaidl.h>

namespace quillpost {

inline constexpr UINT kMaxMethodArguments = 8;

struct MethodShape {
    MEMBERID id = 0;
    WORD invokeKinds = 0;    // INVOKEKIND bits the method answers
    bool restricted = false;  // skipped by the platform's dispatch, as here
    // Only by-value and by-reference automation types, no optional or locale parameters, any
    // [retval] last. Calls of other methods go to the platform's dispatch untouched.
    bool plain = false;
    UINT argumentCount = 0;  // parameters a caller supplies ([retval] not counted)
    bool hasRetval = false;
    VARTYPE types[kMaxMethodArguments] = {};  // VARIANT type of each supplied parameter
};

// The method the platform's ITypeInfo::Invoke would choose for `id` and `flags`: the first in
// the type description with that member ID, an invoke kind in `flags` and no restriction.
// nullptr if there is none. `*known` is false when the table could not be read at all.
const MethodShape* FindMethod(ITypeInfo* typeInfo, DISPID id, WORD flags, bool* known);

}  // namespace quillpost
