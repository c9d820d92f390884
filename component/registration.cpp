// DllRegisterServer / DllUnregisterServer: the type library, the class and its ProgID, under the
// machine's classes (HKEY_LOCAL_MACHINE\Software\Classes). DllInstall with "user": the same entries
// under the user's own classes (HKEY_CURRENT_USER\Software\Classes).
//
// Each root is named. HKEY_CLASSES_ROOT is a view of both on Windows: a value written there goes to
// the user's classes whenever the user has the key, so a machine registration through it would
// rewrite a per-user one, and its copy for rollback would be of the view, not of the machine's keys.
//
// Every registration and unregistration is all or nothing. Before anything is written, every key
// it may touch is copied: the class, the ProgID, the type library's key and the key of each
// interface the library describes. When any step fails, those keys get their copies back, so a failed call
// never leaves a mix of this copy of the DLL and another one that was registered before.
// Nothing here allocates but through calls that report failure, so running out of memory
// fails the call with the registry as it was.
#include <wrl/client.h>

#include "core/module.h"
#include "core/raii.h"
#include "component/key_path.h"
#include "component/registry_keys.h"
#include "component/registry_transaction.h"
#include "component/type_library_registration.h"
#include "plugin/identity.h"

using Microsoft::WRL::ComPtr;

namespace quillpost {
namespace {

// The keys of the class, its ProgID and its type library, made once for a whole registration.
struct ClassKeys {
    ClassKeys()
    {
        classKey.Set(L"CLSID", kClsidText);
        progId.Set(kProgId);
        typeLib.Set(L"TypeLib", kLibidText);
    }
    KeyPath classKey, progId, typeLib;
};

HRESULT LoadOwnTypeLib(ComPtr<ITypeLib>& library, wchar_t* modulePath, DWORD capacity)
{
    if (HRESULT hr = GetModulePath(modulePath, capacity); FAILED(hr)) return hr;
    return LoadTypeLibEx(modulePath, REGKIND_NONE, &library);
}

HRESULT SaveTouchedKeys(RegistryTransaction& registry, const ClassKeys& keys, ITypeLib* library)
{
    for (const KeyPath* key : {&keys.classKey, &keys.progId, &keys.typeLib}) {
        if (HRESULT hr = registry.Save(*key); FAILED(hr)) return hr;
    }
    InterfaceKeys interfaces;
    if (HRESULT hr = ListInterfaceKeys(library, interfaces); FAILED(hr)) return hr;
    for (int i = 0; i < interfaces.count; ++i) {
        if (HRESULT hr = registry.Save(interfaces.paths[i]); FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT WriteEntries(HKEY root, const ClassKeys& keys, ITypeLib* library, const wchar_t* modulePath)
{
    if (HRESULT hr = RegisterTypeLibAt(root, keys.typeLib, library, modulePath); FAILED(hr)) return hr;
    const KeyPath& classKey = keys.classKey;
    if (HRESULT hr = SetString(root, classKey, L"InprocServer32", nullptr, modulePath); FAILED(hr)) return hr;
    if (HRESULT hr = SetString(root, classKey, L"InprocServer32", L"ThreadingModel", kThreadingModel); FAILED(hr))
        return hr;
    if (HRESULT hr = SetString(root, classKey, L"ProgID", nullptr, kProgId); FAILED(hr)) return hr;
    if (HRESULT hr = SetString(root, classKey, L"TypeLib", nullptr, kLibidText); FAILED(hr)) return hr;
    return SetString(root, keys.progId, L"Clsid", nullptr, kClsidText);
}

enum class Scope { Machine, User };
constexpr wchar_t kClasses[] = L"Software\\Classes";  // under HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER

// A new account (or Wine prefix) may have none of the keys on the way to ours in the user's
// classes, not even the user's classes key itself. Registering for the user makes them; once
// empty, they go again, so that installing and uninstalling leave the registry as they found it.
// (An empty key there means nothing to anyone.)
HRESULT RemoveEmptyUserKeys(HKEY root)
{
    for (const wchar_t* parent : {L"CLSID", L"Interface", L"TypeLib"}) {
        if (HRESULT hr = DeleteKeyIfEmpty(root, parent); FAILED(hr)) return hr;
    }
    return DeleteKeyIfEmpty(HKEY_CURRENT_USER, kClasses);
}

// Entries that are already gone are not an error, so unregistering what is not registered succeeds.
HRESULT RemoveEntries(HKEY root, Scope scope, const ClassKeys& keys, ITypeLib* library)
{
    if (HRESULT hr = DeleteTree(root, keys.classKey.Get()); FAILED(hr)) return hr;
    if (HRESULT hr = DeleteTree(root, keys.progId.Get()); FAILED(hr)) return hr;
    if (HRESULT hr = UnregisterTypeLibEntries(root, keys.typeLib, library); FAILED(hr)) return hr;
    return scope == Scope::Machine ? S_OK : RemoveEmptyUserKeys(root);
}

// Registers (or unregisters) under `root`, the open classes key of `scope`.
HRESULT ChangeEntries(HKEY root, Scope scope, bool registering)
{
    wchar_t modulePath[MAX_PATH * 4];
    ComPtr<ITypeLib> library;
    if (HRESULT hr = LoadOwnTypeLib(library, modulePath, ARRAYSIZE(modulePath)); FAILED(hr)) return hr;
    const ClassKeys keys;
    RegistryTransaction registry(root);
    if (HRESULT hr = SaveTouchedKeys(registry, keys, library.Get()); FAILED(hr)) return hr;

    if (HRESULT hr = registering ? WriteEntries(root, keys, library.Get(), modulePath)
                                 : RemoveEntries(root, scope, keys, library.Get());
        FAILED(hr))
        return hr;
    registry.Commit();
    return S_OK;
}

// Opens the classes key of `scope` by its root's name and changes the registration under it.
HRESULT ChangeRegistration(Scope scope, bool registering)
{
    UniqueHkey root;
    if (HRESULT hr = OpenKey(scope == Scope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, kClasses, root,
                             registering);
        FAILED(hr))
        return hr == kNotFound ? S_OK : hr;  // no classes key, so nothing of ours in it
    const HRESULT hr = ChangeEntries(root.Get(), scope, registering);
    // A failed registration has taken its entries back, but not the keys it made on the way to
    // them in the user's classes. Whether those go changes nothing that a host could find, so a
    // failure to remove one does not change the answer.
    if (scope == Scope::User && registering && FAILED(hr)) RemoveEmptyUserKeys(root.Get());
    return hr;
}

}  // namespace
}  // namespace quillpost

STDAPI DllRegisterServer() { return quillpost::ChangeRegistration(quillpost::Scope::Machine, true); }

STDAPI DllUnregisterServer() { return quillpost::ChangeRegistration(quillpost::Scope::Machine, false); }

// regsvr32 /n /i:user: registration for the current user alone, which needs no administrator.
// Windows merges HKEY_CURRENT_USER\Software\Classes into the classes root of the user's programs.
// Command lines on Windows are read without regard to case, so "User" and "USER" are "user" too.
STDAPI DllInstall(BOOL install, PCWSTR commandLine)
{
    using namespace quillpost;
    if (!commandLine || CompareStringOrdinal(commandLine, -1, L"user", -1, TRUE) != CSTR_EQUAL) return E_INVALIDARG;
    return ChangeRegistration(Scope::User, install);
}
