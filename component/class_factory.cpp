// The class object of Sample and the exports through which COM finds it.
#include "core/com_object.h"
#include "core/module.h"
#include "plugin/sample.h"
#include "plugin/type_info.h"
#include "quillpost_idl.h"

namespace quillpost {
namespace {

// One static factory; its references and its server locks keep the module loaded like any
// object, and each is counted on its own so that neither can give back more than it took.
class SampleFactory final : public StaticComObject<SampleFactory, IClassFactory> {
public:
    static std::span<const InterfaceRow> Interfaces()
    {
        static constexpr InterfaceRow kRows[] = {Row<SampleFactory, IClassFactory>(IID_IClassFactory)};
        return kRows;
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
            locks_.Add();
            return S_OK;
        }
        return locks_.Remove() ? S_OK : E_UNEXPECTED;
    }

private:
    BoundedVetoes locks_;
};

SampleFactory g_sampleFactory;

}  // namespace
}  // namespace quillpost

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out)
{
    quillpost::NoteClassObjectAsked(__builtin_return_address(0));
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid != CLSID_Sample) return CLASS_E_CLASSNOTAVAILABLE;
    return quillpost::g_sampleFactory.QueryInterface(riid, out);
}

// Only once no object, veto or window of any apartment is left.
STDAPI DllCanUnloadNow()
{
    const void* asker = __builtin_return_address(0);
    quillpost::GiveBackReferencesOnComsQuery(asker);
    if (quillpost::UnloadVetoCount() != 0) {
        // CoFreeUnusedLibraries(Ex) keeps a library that answers "no" (documented for it). But
        // CoUninitialize unloads every DLL the thread loaded, asking this only as a courtesy
        // (documented for it; Wine 8 frees only those that agree), and which of the two asked
        // cannot be told from here: COM may let go whatever the answer.
        quillpost::LetComGoWhateverTheAnswer(asker);
        return S_FALSE;
    }
    // The module may be freed once this returns. The cached type information goes back now, while
    // COM works and no loader lock is held. (Released from the module's own detach instead, the
    // type library's teardown upset the loader's count of the module under Wine: a later load's
    // open windows lost their hold on it.) An object created meanwhile by another apartment holds
    // a reference of its own, taken under the same rule.
    quillpost::ReleaseSampleTypeInfoCache();
    quillpost::HandReferencesOverOnUnload(asker);
    return S_OK;
}
