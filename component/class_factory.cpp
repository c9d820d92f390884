// The class object of Sample and the exports through which COM finds it.
#include <new>

#include "base/module.h"
#include "plugin/sample.h"
#include "quillpost_idl.h"

namespace quillpost {
namespace {

// One static factory; references to it keep the module loaded like any object.
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
        LockModule();
        return 2;
    }
    STDMETHODIMP_(ULONG) Release() override
    {
        UnlockModule();
        return 1;
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return Sample::Create(riid, out);
    }

    STDMETHODIMP LockServer(BOOL lock) override
    {
        if (lock) {
            LockModule();
        } else {
            UnlockModule();
        }
        return S_OK;
    }
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
    return quillpost::ModuleLockCount() == 0 ? S_OK : S_FALSE;
}
