// The class object of Sample and the exports through which COM finds it.
#include <new>

#include "base/module.h"
#include "plugin/sample.h"
#include "plugin/type_info.h"
#include "quillpost_idl.h"

namespace quillpost {
namespace {

// A count that refuses to go below zero: a caller's unbalanced release must not make the
// module count go negative, or the module could never unload again.
class BoundedCount {
public:
    void Increment() { InterlockedIncrement(&count_); }
    // False (and no change) when the count is already zero.
    bool Decrement()
    {
        for (LONG current = count_; current > 0;) {
            const LONG seen = InterlockedCompareExchange(&count_, current - 1, current);
            if (seen == current) return true;
            current = seen;
        }
        return false;
    }

private:
    LONG count_ = 0;
};

// One static factory; its references and its server locks keep the module loaded like any
// object, and each is counted on its own so that neither can release more than it took.
class SampleFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override
    {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override
    {
        references_.Increment();
        LockModule();
        return 2;
    }
    STDMETHODIMP_(ULONG) Release() override
    {
        if (references_.Decrement()) UnlockModule();
        return 1;
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return Sample::Create(riid, out);
    }

    // An unlock without a lock is the caller's mistake: refused, and the count is unchanged.
    STDMETHODIMP LockServer(BOOL lock) override
    {
        if (lock) {
            locks_.Increment();
            LockModule();
            return S_OK;
        }
        if (!locks_.Decrement()) return E_UNEXPECTED;
        UnlockModule();
        return S_OK;
    }

private:
    BoundedCount references_;
    BoundedCount locks_;
};

SampleFactory g_sampleFactory;

}  // namespace
}  // namespace quillpost

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid != CLSID_Sample) return CLASS_E_CLASSNOTAVAILABLE;
    return quillpost::g_sampleFactory.QueryInterface(riid, out);
}

// Only once no object, lock or window of any apartment is left.
STDAPI DllCanUnloadNow()
{
    if (quillpost::ModuleLockCount() != 0) return S_FALSE;
    // The module may be freed once this returns. The cached type information goes back now, while
    // COM works and no loader lock is held. (Released from the module's own detach instead, the
    // type library's teardown upset the loader's count of the module under Wine: a later load's
    // open windows lost their hold on it.) Nothing uses the cache once no object is left, and the
    // next use, should the host keep the module, loads it again.
    quillpost::ReleaseSampleTypeInfo();
    return S_OK;
}
