// The type description of _Sample, loaded from the module's embedded type library once
// per process and shared read-only by every object.
#pragma once

#include <oaidl.h>

namespace quillpost {

// AddRef'ed ITypeInfo of _Sample in *out; *out = nullptr on failure.
HRESULT GetSampleTypeInfo(ITypeInfo** out);

}  // namespace quillpost
