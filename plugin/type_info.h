// The type description of _Sample, loaded from the module's embedded type library once
// per load of the module and shared read-only by every object.
#pragma once

#include <oaidl.h>

namespace quillpost {

// AddRef'ed ITypeInfo of _Sample in *out; *out = nullptr on failure.
HRESULT GetSampleTypeInfo(ITypeInfo** out);

// The same without a reference of the caller's own, for the per-call path: valid while any
// object of the module lives, since the cache is given back only when none is left.
HRESULT BorrowSampleTypeInfo(ITypeInfo** borrowed);

// Gives the cached description back. Only for the module's entry point when the module is
// freed by the unload query (no object, and so no caller of GetSampleTypeInfo, is left); at
// process exit nothing is released.
void ReleaseSampleTypeInfo();

}  // namespace quillpost
