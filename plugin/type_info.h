// The type description of _Sample, loaded from the module's embedded type library and shared
// read-only by every object.
//
// Loading the library and giving back what may be its last reference are one serialized rule:
// both happen under one lock, whoever does them (an object taking or dropping its reference, the
// unload query dropping the cache). The platform's type library does not survive its last release
// racing another thread's load of it, and no object ever uses a description it does not hold.
#pragma once

#include <oaidl.h>

namespace quillpost {

// One reference to the shared description, taken and given back under the rule above.
class SampleTypeInfo {
public:
    SampleTypeInfo() = default;
    SampleTypeInfo(const SampleTypeInfo&) = delete;
    SampleTypeInfo& operator=(const SampleTypeInfo&) = delete;
    ~SampleTypeInfo() { Reset(); }

    // The description, loading it on first use; nullptr with the failure in *hr. Safe to call
    // from several threads at once: they end up sharing one reference.
    ITypeInfo* Get(HRESULT* hr);
    void Reset();

private:
    ITypeInfo* info_ = nullptr;
};

// For the unload query once nothing holds the module: drops the cache, so that the type library
// goes with the module. Objects created meanwhile hold references of their own.
void ReleaseSampleTypeInfoCache();

}  // namespace quillpost
